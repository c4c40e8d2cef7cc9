#include "reports/securityreports.h"

#include "dbe/error.h"
#include "dbe/query.h"
#include "dbe/table.h"
#include "report/dateformat.h"
#include "report/reportfont.h"
#include "report/rptdsgn.h"
#include "rules/schema.h"

#include <QScopeGuard>
#include <vector>

namespace securityreports {

namespace {

// The names of the calculated fields.
const QString UserNameField = QStringLiteral("UserName");
const QString AccessNameField = QStringLiteral("AccessName");
const QString AccessLabelField = QStringLiteral("Access_Label");

const QString UnknownName = QStringLiteral("Unknown");
const QString LogonName = QStringLiteral("*** Logon ***");
const QString GroupNotFound = QStringLiteral("**Group not found");
const QString ConstantNotFound = QStringLiteral("**Constant not found");

// The query texts, line by line, as the reports have always run them.
const QStringList AccessQuery{QStringLiteral("SELECT * FROM ACCESS ORDER BY ACCESS_NAME")};
const QStringList GroupsQuery{
    QStringLiteral("SELECT Groups.Group_ID, Groups.Group_Name,"),
    QStringLiteral("Access.Access_ID, Access.Access_Name,"),
    QStringLiteral("GrpColl.Group_ID, GrpColl.Access_ID"),
    QStringLiteral("  FROM Groups, Access, GrpColl"),
    QStringLiteral("  WHERE (GrpColl.Group_ID=Groups.Group_ID) AND"),
    QStringLiteral("        (GrpColl.Access_ID=Access.Access_ID)"),
    QStringLiteral("  ORDER BY Groups.Group_Name, Access.Access_Name"),
};
const QStringList UsersQuery{QStringLiteral("Select * from Users")};
// The query has no parameters, so the form's link of it to the rights table changes nothing
// of its rows; the link is therefore not kept here.
const QStringList UserAccessQuery{
    QStringLiteral("Select * From Users, UserAcc Where Users.User_ID=UserAcc.User_ID"),
    QStringLiteral("  Order By Users.User_Name, Type"),
};

// How one field shows in a report. A width of 0 and an empty alignment keep the engine's
// default for the field type, an empty label the field's name.
struct FieldLook {
    QString field;
    QString label;
    int width = 0;
    Qt::Alignment alignment = {};
};

const std::vector<FieldLook> AccessLooks{
    {QStringLiteral("Access_ID"), QStringLiteral("ID"), 10, Qt::AlignHCenter},
    {QStringLiteral("Access_Name"), QStringLiteral("Name")},
};
const std::vector<FieldLook> GroupsLooks{
    {QStringLiteral("Group_ID"), QStringLiteral("Group ID"), 10, Qt::AlignHCenter},
    {QStringLiteral("Group_Name"), QStringLiteral("Group Name"), 20},
    {QStringLiteral("Access_ID"), QStringLiteral("Access ID"), 10, Qt::AlignHCenter},
    {QStringLiteral("Access_Name"), QStringLiteral("Access Name")},
};
const std::vector<FieldLook> UsageLooks{
    {QStringLiteral("LogCount"), QStringLiteral("Log Entry")},
    {QStringLiteral("Access_Date"), QStringLiteral("Date")},
    {UserNameField, QStringLiteral("User Name"), 20},
    {AccessNameField, QStringLiteral("Access Name")},
};
// The user id and the time of the last logon have no width of their own. The other six columns
// already take most of a landscape line, so these two get what their values need and no more:
// five digits of user id, and the 19 characters of "2026-03-02 08:15:00", which in the body
// font are as wide as 17 letters "o". The report then ends inside the printable area.
const std::vector<FieldLook> UsersLooks{
    {QStringLiteral("User_ID"), QStringLiteral("ID"), 5, Qt::AlignHCenter},
    {QStringLiteral("User_Name"), QStringLiteral("Name"), 16},
    {QStringLiteral("User_Password"), QStringLiteral("Password")},
    {QStringLiteral("User_Def1"), QStringLiteral("Field 1"), 22},
    {QStringLiteral("User_Def2"), QStringLiteral("Field 2"), 22},
    {QStringLiteral("User_LastAccess"), QString(), 17},
    {QStringLiteral("User_AccessCount"), QStringLiteral("Access Count"), 10},
    {QStringLiteral("User_Enabled"), QStringLiteral("Enabled"), 5, Qt::AlignHCenter},
    {QStringLiteral("User_Admin"), QStringLiteral("Admin"), 5, Qt::AlignHCenter},
};
const std::vector<FieldLook> UserAccessLooks{
    {QStringLiteral("User_ID"), QStringLiteral("User ID"), 14, Qt::AlignHCenter},
    {QStringLiteral("User_Name"), QStringLiteral("User Name"), 24},
    {QStringLiteral("Type"), QString(), 1},
    {AccessLabelField, QStringLiteral("Access Label"), 30},
};

void applyLooks(dbe::DataSet &data, const std::vector<FieldLook> &looks)
{
    for (const FieldLook &look : looks) {
        dbe::FieldInfo &field = data.fieldInfo(look.field);
        if (!look.label.isEmpty())
            field.displayLabel = look.label;
        if (look.width > 0)
            field.displayWidth = look.width;
        if (look.alignment)
            field.alignment = look.alignment;
    }
}

report::ReportFont arialFont(int pixelHeight, bool bold, bool italic)
{
    report::ReportFont font;
    font.name = QStringLiteral("Arial");
    font.bold = bold;
    font.italic = italic;
    // The window-text colour of the classic desktop. Taken as the colour itself rather than from
    // the palette: a dark desktop theme must not print white text on white paper.
    font.color = Qt::black;
    font.setPixelHeight(pixelHeight);
    return font;
}

struct DesignSettings {
    QString objectName;
    QString title;
    bool titleCentered;
    TPageNumStyle pageNumbers;
    TDatePosition date;
    QStringList fields;
};

TReportDesign *makeDesign(QObject *owner, const DesignSettings &settings)
{
    auto *design = new TReportDesign(owner);
    design->setObjectName(settings.objectName);
    design->SetPortrait(false);
    design->SetDividerStyle(dvsSolid);
    design->SetPageSizeIndex(0);
    design->SetDateFormat(QStringLiteral("ddddd"));
    design->SetBodyFont(arialFont(16, false, false));
    design->SetHeadingFont(arialFont(16, true, false));
    design->SetTitleFont(arialFont(19, true, false));
    design->SetSubTitleFont(arialFont(16, true, true));
    design->SetTitle(settings.title);
    design->SetTitleCentered(settings.titleCentered);
    design->SetPageNumLocation(settings.pageNumbers);
    design->SetDatePosition(settings.date);
    design->SetFields(settings.fields);
    return design;
}

template <typename DataSetType>
DataSetType *makeDataSet(QObject *owner, const QString &objectName, const QString &tableName = {})
{
    auto *data = new DataSetType(owner);
    data->setObjectName(objectName);
    // The design-time database; every build points the data set at the real alias first.
    data->setDatabaseName(QStringLiteral("SECURITY"));
    if constexpr (std::is_same_v<DataSetType, dbe::Table>)
        data->setTableName(tableName);
    return data;
}

// The data sets one build has opened. They are closed in the opposite order, by close() or,
// when the build fails half-way, when the guard goes.
class OpenedDataSets
{
public:
    OpenedDataSets() = default;
    OpenedDataSets(const OpenedDataSets &) = delete;
    OpenedDataSets &operator=(const OpenedDataSets &) = delete;

    ~OpenedDataSets()
    {
        try {
            close();
        } catch (...) {
            // Already unwinding from the build's own error, which is the one worth reporting;
            // closing releases locks and statements only.
        }
    }

    void open(dbe::DataSet *data)
    {
        data->open();
        m_opened.push_back(data);
    }

    void close()
    {
        while (!m_opened.empty()) {
            dbe::DataSet *data = m_opened.back();
            m_opened.pop_back();
            data->close();
        }
    }

private:
    std::vector<dbe::DataSet *> m_opened;
};

void recordWithSubtitle(TReportDesign *design, const QString &alias,
                        const SecurityReports::Recorder &record, const QString &period = {})
{
    design->SetSubTitle(QStringLiteral("Alias: ") + alias +
                        (period.isEmpty() ? QString() : QStringLiteral(", ") + period));
    record(*design);
}

QString shortDate(const QDate &day)
{
    return report::formatDateTime(QStringLiteral("ddddd"), day.startOfDay());
}

void buildFromQuery(dbe::Query *query, const QString &alias, const QStringList &sql,
                    const std::vector<FieldLook> &looks, TReportDesign *design,
                    const SecurityReports::Recorder &record)
{
    query->setDatabaseName(alias);
    query->clearSql();
    for (const QString &line : sql)
        query->addLine(line);
    OpenedDataSets opened;
    opened.open(query);
    applyLooks(*query, looks);
    recordWithSubtitle(design, alias, record);
    opened.close();
}

} // namespace

std::optional<QString> dayRangeRefusal(const DayRange &days)
{
    if (days.first.isValid() && days.last.isValid() && days.first > days.last)
        return QStringLiteral("The start date %1 comes after the ending date %2. Choose a start "
                              "date on or before the ending date.")
            .arg(shortDate(days.first), shortDate(days.last));
    return std::nullopt;
}

QString periodText(const DayRange &days)
{
    if (!days.first.isValid() || !days.last.isValid())
        return {};
    if (days.first == days.last)
        return shortDate(days.first);
    return QStringLiteral("%1 to %2").arg(shortDate(days.first), shortDate(days.last));
}

QStringList reportTypeNames()
{
    return {QStringLiteral("Access Constants"), QStringLiteral("Groups"), QStringLiteral("Usage"),
            QStringLiteral("Users"), QStringLiteral("Users (w/ Access)")};
}

std::optional<ReportType> reportTypeAt(int index)
{
    if (index < 0 || index >= ReportTypeCount)
        return std::nullopt;
    return ReportType(index);
}

SecurityReports::SecurityReports(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("SecurityReports"));
    QryAccess = makeDataSet<dbe::Query>(this, QStringLiteral("QryAccess"));
    QryAccess->setSql(AccessQuery);
    qryGroups = makeDataSet<dbe::Query>(this, QStringLiteral("qryGroups"));
    qryGroups->setSql(GroupsQuery);

    tblLog = makeDataSet<dbe::Table>(this, QStringLiteral("tblLog"), QStringLiteral("LOG.DB"));
    m_usersComing = dbe::KeyedNames::readAhead(*tblLog, QStringLiteral("User_ID"));
    m_constantsComing = dbe::KeyedNames::readAhead(*tblLog, QStringLiteral("Access_ID"));
    tblLog->addCalculatedField(UserNameField, dbe::FieldType::Alpha, 48);
    tblLog->addCalculatedField(AccessNameField, dbe::FieldType::Alpha, 20);
    tblLog->setCalcFieldsHandler([this](dbe::DataSet &log) { tblLogCalcFields(log); });
    tblUsers =
        makeDataSet<dbe::Table>(this, QStringLiteral("tblUsers"), QStringLiteral("USERS.DB"));
    tblAccess =
        makeDataSet<dbe::Table>(this, QStringLiteral("tblAccess"), QStringLiteral("ACCESS.DB"));

    qryReport = makeDataSet<dbe::Query>(this, QStringLiteral("qryReport"));
    qryReport->setSql({QStringLiteral("Select * From Users")});

    tblUserAcc =
        makeDataSet<dbe::Table>(this, QStringLiteral("tblUserAcc"), QStringLiteral("USERACC.DB"));
    tblGroups =
        makeDataSet<dbe::Table>(this, QStringLiteral("tblGroups"), QStringLiteral("GROUPS.DB"));
    qryUserAcc = makeDataSet<dbe::Query>(this, QStringLiteral("qryUserAcc"));
    qryUserAcc->setSql(UserAccessQuery);
    qryUserAcc->addCalculatedField(AccessLabelField, dbe::FieldType::Alpha, 30);
    qryUserAcc->setCalcFieldsHandler(
        [this](dbe::DataSet &rights) { qryUserAccCalcFields(rights); });

    rdAccess = makeDesign(this, {QStringLiteral("rdAccess"),
                                 QStringLiteral("Access Constants Report"),
                                 false,
                                 pnsBottomCenter,
                                 dpCenter,
                                 {QStringLiteral("Access_ID"), QStringLiteral("Access_Name")}});
    rdGroups = makeDesign(this, {QStringLiteral("rdGroups"),
                                 QStringLiteral("Groups Report"),
                                 false,
                                 pnsNone,
                                 dpCenter,
                                 {QStringLiteral("Group_ID"), QStringLiteral("Group_Name"),
                                  QStringLiteral("Access_ID"), QStringLiteral("Access_Name")}});
    rdUsage = makeDesign(this, {QStringLiteral("rdUsage"),
                                QStringLiteral("Usage Report"),
                                true,
                                pnsBottomCenter,
                                dpLeft,
                                {QStringLiteral("LogCount"), QStringLiteral("Access_Date"),
                                 UserNameField, AccessNameField}});
    rdUsers =
        makeDesign(this, {QStringLiteral("rdUsers"),
                          QStringLiteral("User Report"),
                          true,
                          pnsBottomCenter,
                          dpLeft,
                          {QStringLiteral("User_ID"), QStringLiteral("User_Name"),
                           QStringLiteral("User_Def1"), QStringLiteral("User_Def2"),
                           QStringLiteral("User_LastAccess"), QStringLiteral("User_AccessCount"),
                           QStringLiteral("User_Enabled"), QStringLiteral("User_Admin")}});
    rdUserAcc = makeDesign(this, {QStringLiteral("rdUserAcc"),
                                  QStringLiteral("User Access Report"),
                                  true,
                                  pnsBottomCenter,
                                  dpRight,
                                  {QStringLiteral("User_ID"), QStringLiteral("User_Name"),
                                   QStringLiteral("Type"), AccessLabelField}});

    rdAccess->SetDataSet(QryAccess);
    rdGroups->SetDataSet(qryGroups);
    rdUsage->SetDataSet(tblLog);
    rdUsers->SetDataSet(qryReport);
    rdUserAcc->SetDataSet(qryUserAcc);
}

SecurityReports::~SecurityReports() = default;

TReportDesign *SecurityReports::design(ReportType type) const
{
    switch (type) {
    case ReportType::AccessConstants:
        return rdAccess;
    case ReportType::Groups:
        return rdGroups;
    case ReportType::Usage:
        return rdUsage;
    case ReportType::Users:
        return rdUsers;
    case ReportType::UserAccess:
        return rdUserAcc;
    }
    return nullptr;
}

void SecurityReports::Build(ReportType type, const Recorder &record, const DayRange &days)
{
    // Names are remembered for one build only: the next one reads the tables as they are then.
    const auto forgetNames = [this] {
        m_userNames.clear();
        m_constantNames.clear();
        m_groupNames.clear();
    };
    forgetNames();
    const auto forgetAfterwards = qScopeGuard(forgetNames);
    switch (type) {
    case ReportType::AccessConstants:
        buildFromQuery(QryAccess, m_aliasName, AccessQuery, AccessLooks, rdAccess, record);
        return;
    case ReportType::Groups:
        buildFromQuery(qryGroups, m_aliasName, GroupsQuery, GroupsLooks, rdGroups, record);
        return;
    case ReportType::Usage:
        buildUsage(days, record);
        return;
    case ReportType::Users:
        buildFromQuery(qryReport, m_aliasName, UsersQuery, UsersLooks, rdUsers, record);
        return;
    case ReportType::UserAccess:
        buildUserAccess(record);
        return;
    }
}

void SecurityReports::buildUsage(const DayRange &days, const Recorder &record)
{
    if (const std::optional<QString> refusal = dayRangeRefusal(days))
        throw dbe::Error(*refusal);
    for (dbe::Table *table : {tblAccess, tblUsers, tblLog})
        table->setDatabaseName(m_aliasName);
    OpenedDataSets opened;
    // The calculated fields look users and constants up, so their tables open first.
    opened.open(tblUsers);
    opened.open(tblAccess);
    opened.open(tblLog);
    applyLooks(*tblLog, UsageLooks);
    // On the primary index (Access_Date, User_ID, LogCount): from the first day's midnight to
    // the last millisecond of the last day, the finest step a timestamp is stored in. The end
    // is no key of the day after: after 9999-12-31 that day's year has five digits, which
    // stored as text sorts before every other year.
    const QDateTime from(days.first, QTime(0, 0));
    const QDateTime to(days.last, QTime(23, 59, 59, 999));
    tblLog->setRange({from, 0, 0}, {to});
    const QString period = periodText(days);
    rdUsage->SetEmptyText(period.isEmpty()
                              ? QStringLiteral("There are no log entries.")
                              : QStringLiteral("There are no log entries from %1.").arg(period));
    recordWithSubtitle(rdUsage, m_aliasName, record, period);
    tblLog->cancelRange();
    opened.close();
}

void SecurityReports::buildUserAccess(const Recorder &record)
{
    for (dbe::DataSet *data :
         std::initializer_list<dbe::DataSet *>{tblAccess, tblGroups, tblUserAcc, qryUserAcc})
        data->setDatabaseName(m_aliasName);
    OpenedDataSets opened;
    opened.open(tblAccess);
    opened.open(tblGroups);
    opened.open(tblUserAcc);
    opened.open(qryUserAcc);
    applyLooks(*qryUserAcc, UserAccessLooks);
    recordWithSubtitle(rdUserAcc, m_aliasName, record);
    opened.close();
}

void SecurityReports::tblLogCalcFields(dbe::DataSet &log)
{
    // The supervisor has no row and shows as "Unknown" too.
    // The entries the log's walk has read ahead are looked up with the first that misses.
    const std::optional<QString> user =
        m_userNames.find(*tblUsers, log.asInteger(QStringLiteral("User_ID")), m_usersComing);
    log.setString(UserNameField, user.value_or(UnknownName));

    if (log.isNull(QStringLiteral("Access_ID"))) {
        log.setString(AccessNameField, LogonName);
        return;
    }
    const std::optional<QString> constant = m_constantNames.find(
        *tblAccess, log.asInteger(QStringLiteral("Access_ID")), m_constantsComing);
    log.setString(AccessNameField, constant.value_or(UnknownName));
}

void SecurityReports::qryUserAccCalcFields(dbe::DataSet &rights)
{
    const int id = rights.asInteger(QStringLiteral("Access_ID"));
    // A group right keeps the group's id in Access_ID.
    if (rights.asString(QStringLiteral("Type")) != security::RightGroup) {
        const std::optional<QString> constant = m_constantNames.find(*tblAccess, id);
        rights.setString(AccessLabelField, constant.value_or(ConstantNotFound));
    } else {
        const std::optional<QString> group = m_groupNames.find(*tblGroups, id);
        rights.setString(AccessLabelField, group.value_or(GroupNotFound));
    }
}

} // namespace securityreports
