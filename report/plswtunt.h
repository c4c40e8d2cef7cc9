#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The small always-on-top box that says a report is being built, how many pages it has so far,
// and offers to stop it.
class TfrmPlsWt : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPlsWt(QWidget *parent = nullptr);

    void SetMessage(const QString &message);
    // "12 pages so far"
    void SetPagesSoFar(int pages);
    // Whether Cancel (or Escape) was pressed since the box opened.
    bool CancelRequested() const { return m_cancelRequested; }

    QLabel *lblPleaseWait = nullptr;
    QLabel *lblMsg = nullptr;
    QLabel *lblPages = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    // Escape asks to stop, like Cancel; the box itself closes when the build has stopped.
    void reject() override;

private:
    bool m_cancelRequested = false;
};
