#pragma once

#include <QDialog>

class QPushButton;
class QTableView;

namespace dbe {
class DataSet;
class Table;
} // namespace dbe
namespace ui {
class DataSetModel;
}

// Shows the activity log with each entry's user and access constant looked up by id, and
// clears the whole log when nobody else has it open.
class TfrmViewLog : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmViewLog(QWidget *parent = nullptr);
    ~TfrmViewLog() override;

    QTableView *DBGrid1 = nullptr;
    QPushButton *btnClearLog = nullptr;
    QPushButton *OKBtn = nullptr;
    dbe::Table *tblLog = nullptr;
    dbe::Table *tblUsers = nullptr;
    dbe::Table *tblAccess = nullptr;
    ui::DataSetModel *dsLog = nullptr;

    void FormShow();
    void FormHide();
    void tblLogCalcFields(dbe::DataSet &log);
    void btnClearLogClick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void describeLogFields();
    void showLog();
    void fitColumns();
};
