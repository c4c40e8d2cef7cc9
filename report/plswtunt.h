#pragma once

#include <QDialog>

class QLabel;

// The small always-on-top box that says a report is being built.
class TfrmPlsWt : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPlsWt(QWidget *parent = nullptr);

    void SetMessage(const QString &message);

    QLabel *lblPleaseWait = nullptr;
    QLabel *lblMsg = nullptr;
};
