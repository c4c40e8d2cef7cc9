#pragma once

#include "dbe/keyednames.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TReportDesign;

namespace dbe {
class DataSet;
class Query;
class Table;
} // namespace dbe

namespace securityreports {

// The five security reports, in the order the Reporting window lists them.
enum class ReportType { AccessConstants, Groups, Usage, Users, UserAccess };

inline constexpr int ReportTypeCount = 5;

// The names the Reporting window lists: "Access Constants", "Groups", "Usage", "Users",
// "Users (w/ Access)".
QStringList reportTypeNames();
// The report at a position of that list; nothing for a position outside it.
std::optional<ReportType> reportTypeAt(int index);

// The days of the Usage report, both included.
struct DayRange {
    QDate first;
    QDate last;
};

// Why a range cannot be reported on (its first day comes after its last); nothing for a good
// one. The range dialog, the command line and Build all refuse through here.
std::optional<QString> dayRangeRefusal(const DayRange &days);
// The period in the configured short date: "3/1/2026 to 3/15/2026", or the day alone.
QString periodText(const DayRange &days);

// The data sets and layouts of the five reports, without any window: the Reporting window
// records them into its preview, the command-line tool into pages it saves or prints. Both
// thereby build exactly the same report.
//
// The members carry the names the Reporting window gives its components, and are its children
// for findChild.
class SecurityReports : public QObject
{
    Q_OBJECT

public:
    explicit SecurityReports(QObject *parent = nullptr);
    ~SecurityReports() override;

    // Records one report: what the preview's Execute or a headless BuildPages does with it.
    using Recorder = std::function<void(TReportDesign &)>;

    // The database every data set is pointed at before it opens.
    QString AliasName() const { return m_aliasName; }
    void SetAliasName(const QString &alias) { m_aliasName = alias; }

    // Points the report's data sets at AliasName, opens them in their order, sets the subtitle
    // "Alias: " + AliasName, lets `record` lay the report out, and closes the data sets again
    // (in the opposite order). The Usage report lists the log entries of `days`, states the
    // period after the alias, and says so on its page when the period has no entries; a range
    // that dayRangeRefusal refuses is thrown as dbe::Error before anything opens.
    //
    // An engine error (a missing table, a refused password) propagates; the data sets opened
    // before it are closed first, so that a failed build holds no table open.
    void Build(ReportType type, const Recorder &record, const DayRange &days = {});

    TReportDesign *design(ReportType type) const;

    // The queries and tables, named as in the window's form.
    dbe::Query *QryAccess = nullptr;
    dbe::Query *qryGroups = nullptr;
    dbe::Table *tblLog = nullptr;
    dbe::Table *tblUsers = nullptr;
    dbe::Table *tblAccess = nullptr;
    dbe::Query *qryReport = nullptr;
    dbe::Table *tblUserAcc = nullptr;
    dbe::Table *tblGroups = nullptr;
    dbe::Query *qryUserAcc = nullptr;

    TReportDesign *rdAccess = nullptr;
    TReportDesign *rdGroups = nullptr;
    TReportDesign *rdUsage = nullptr;
    TReportDesign *rdUsers = nullptr;
    TReportDesign *rdUserAcc = nullptr;

    // Calculated fields, filled for every row the report reads.
    void tblLogCalcFields(dbe::DataSet &log);
    void qryUserAccCalcFields(dbe::DataSet &rights);

private:
    void buildUsage(const DayRange &days, const Recorder &record);
    void buildUserAccess(const Recorder &record);

    QString m_aliasName;
    // Names looked up during one build, by id. A log of 100,000 entries names a few thousand
    // users and constants; each is read once per build instead of once per entry.
    dbe::KeyedNames m_userNames{QStringLiteral("User_Name")};
    dbe::KeyedNames m_constantNames{QStringLiteral("Access_Name")};
    dbe::KeyedNames m_groupNames{QStringLiteral("Group_Name")};
    // The keys of the log entries read ahead, which a missing name is read together with.
    std::function<QList<qint64>()> m_usersComing;
    std::function<QList<qint64>()> m_constantsComing;
};

} // namespace securityreports
