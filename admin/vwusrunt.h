#pragma once

#include <QDialog>

class QListView;
class QPushButton;
class TLocksTable;

namespace dbe {
class Table;
}
namespace ui {
class DataSetModel;
}

// Lists the network user name of every lock on USERACC.DB: every workstation and program that
// has the security tables open, this one included. A snapshot taken when the window is shown.
class TfrmViewUsers : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmViewUsers(QWidget *parent = nullptr);
    ~TfrmViewUsers() override;

    QListView *DBLookupList1 = nullptr;
    QPushButton *OKBtn = nullptr;
    dbe::Table *tblUserAcc = nullptr;
    ui::DataSetModel *dsUsers = nullptr;

    void FormShow();
    void FormDestroy();

protected:
    void showEvent(QShowEvent *event) override;

private:
    TLocksTable *m_locks = nullptr;
    bool m_shown = false;
};
