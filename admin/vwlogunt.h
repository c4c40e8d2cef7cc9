#pragma once

#include "admin/loggridmodel.h"
#include "dbe/keyednames.h"
#include "ui/windowedtableview.h"

#include <QDialog>

class QPushButton;

namespace dbe {
class DataSet;
class Table;
} // namespace dbe

// Shows the activity log with each entry's user and access constant looked up by id, and
// clears the whole log when nobody else has it open, offering to save it as CSV first. Ctrl+F
// finds the next entry of a user, or the first entry of a day.
class TfrmViewLog : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmViewLog(QWidget *parent = nullptr);
    ~TfrmViewLog() override;

    ui::WindowedTableView *DBGrid1 = nullptr;
    QPushButton *btnClearLog = nullptr;
    QPushButton *OKBtn = nullptr;
    dbe::Table *tblLog = nullptr;
    dbe::Table *tblUsers = nullptr;
    dbe::Table *tblAccess = nullptr;
    LogGridModel *dsLog = nullptr;

    void FormShow();
    void FormHide();
    void tblLogCalcFields(dbe::DataSet &log);
    void btnClearLogClick();
    // Asks for a user name or a date and shows the entry found.
    void FindEntry();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void describeLogFields();
    void showLog();
    void fitColumns();
    // Writes the log, open exclusively, to a CSV file the administrator names. False when he
    // cancelled or writing failed (said in a message): the log is then not to be cleared.
    bool saveLogBeforeClearing();
    // Puts the log's cursor on the entry `text` asks for; false (said in a message) when none.
    bool findEntry(const QString &text);
    bool findUserEntry(int userId);

    QString m_findText;
    dbe::KeyedNames m_userNames;
    dbe::KeyedNames m_accessNames;
    // The keys of the log entries read ahead, which a missing name is read together with.
    std::function<QList<qint64>()> m_usersComing;
    std::function<QList<qint64>()> m_accessComing;
};
