#pragma once

#include <QDialog>
#include <QString>

class QPushButton;
class QStandardItemModel;
class QTableView;

// Shows the audit trail of the database, newest entry first, in the grid of View Log, and
// verifies its chain on request.
class TfrmViewAudit : public QDialog
{
    Q_OBJECT

public:
    TfrmViewAudit(const QString &alias, QWidget *parent = nullptr);

    QTableView *grdAudit = nullptr;
    QPushButton *btnVerify = nullptr;
    QPushButton *OKBtn = nullptr;

    void btnVerifyClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showEntries();

    QString m_alias;
    QStandardItemModel *m_entries = nullptr;
};
