#include "tests/support/testsupport.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/createtables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testsupport {

namespace {

LogCapture *activeCapture = nullptr;

// Long enough to see that a writer waits, short enough for many tests.
constexpr int ShortBusyTimeoutMs = 300;

} // namespace

LogCapture::LogCapture()
{
    QLoggingCategory::setFilterRules(QStringLiteral("vesk.*=true"));
    activeCapture = this;
    m_previous = qInstallMessageHandler(&LogCapture::record);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    activeCapture = nullptr;
    QLoggingCategory::setFilterRules(QString());
}

void LogCapture::record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!activeCapture)
        return;
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    if (category.startsWith(QLatin1String("vesk.")))
        activeCapture->m_lines.append(category + QStringLiteral(": ") + message);
    if (activeCapture->m_previous)
        activeCapture->m_previous(type, context, message);
}

void limitFileSize(long bytes)
{
    // Between fork and exec; an ignored SIGXFSZ stays ignored, so the write fails instead.
    const struct rlimit limit = {rlim_t(bytes), rlim_t(bytes)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::signal(SIGXFSZ, SIG_IGN) == SIG_ERR)
        ::_exit(127); // the test sees a program that never ran
}

QString fullDevice(const QString &dir)
{
    const QString path = QDir(dir).filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0 ||
        errno == EEXIST)
        return path;
    return QStringLiteral("/dev/full");
}

void isolateEngineConfig()
{
    // A process a test started as its second workstation works on the test's configuration, so
    // that it finds the aliases the test saved there (those of server databases).
    if (!qEnvironmentVariableIsSet("VESK_TEST_CONFIG_OWNER")) {
        static QTemporaryDir configDir;
        qputenv("VESK_DBE_CONFIG", (configDir.path() + QStringLiteral("/dbe.ini")).toLocal8Bit());
        qputenv("VESK_TEST_CONFIG_OWNER", QByteArray::number(QCoreApplication::applicationPid()));
    }
    dbe::Session::instance().reloadConfig();
}

SecurityDb::SecurityDb(const QString &alias, const QString &password)
    : m_place(alias, password), m_password(password)
{
    security::createSecurityTables(alias, password);
}

SecurityDb::~SecurityDb() = default;

void SecurityDb::setSettings(bool enabled, bool logEnabled, const QString &label,
                             const QString &label1, const QString &label2)
{
    dbe::Table t;
    t.setDatabaseName(alias());
    t.setTableName(QStringLiteral("PROGRAM.DB"));
    t.open();
    if (t.isEmpty())
        t.append();
    else
        t.edit();
    t.setValue(QStringLiteral("Security_Label"), label);
    t.setValue(QStringLiteral("Enabled"), enabled);
    t.setValue(QStringLiteral("LogEnabled"), logEnabled);
    t.setValue(QStringLiteral("Label1"), label1);
    t.setValue(QStringLiteral("Label2"), label2);
    t.post();
}

int SecurityDb::addUser(const QString &name, const QString &password, bool enabled, bool admin,
                        const QString &def1, const QString &def2)
{
    return dbe::appendRecord(alias(), QStringLiteral("USERS.DB"),
                             {{QStringLiteral("User_Name"), name},
                              {QStringLiteral("User_Password"), password},
                              {QStringLiteral("User_Def1"), def1},
                              {QStringLiteral("User_Def2"), def2},
                              {QStringLiteral("User_AccessCount"), 0},
                              {QStringLiteral("User_Enabled"), enabled},
                              {QStringLiteral("User_Admin"), admin}});
}

int SecurityDb::addAccess(const QString &name)
{
    return dbe::appendRecord(alias(), QStringLiteral("ACCESS.DB"),
                             {{QStringLiteral("Access_Name"), name}});
}

int SecurityDb::addGroup(const QString &name)
{
    return dbe::appendRecord(alias(), QStringLiteral("GROUPS.DB"),
                             {{QStringLiteral("Group_Name"), name}});
}

void SecurityDb::addMember(int groupId, int accessId)
{
    dbe::appendRecord(
        alias(), QStringLiteral("GRPCOLL.DB"),
        {{QStringLiteral("Group_ID"), groupId}, {QStringLiteral("Access_ID"), accessId}});
}

void SecurityDb::grant(int userId, int id, const QString &type)
{
    dbe::appendRecord(alias(), QStringLiteral("USERACC.DB"),
                      {{QStringLiteral("User_ID"), userId},
                       {QStringLiteral("Access_ID"), id},
                       {QStringLiteral("Type"), type}});
}

int SecurityDb::rowCount(const QString &table) const
{
    dbe::Table t;
    t.setDatabaseName(alias());
    t.setTableName(table);
    t.open();
    return t.recordCount();
}

OtherStationWriting::OtherStationWriting(const SecurityDb &db, const QString &table,
                                         const QVariantMap &row)
    : m_alias(db.alias() + QStringLiteral("_OTHER"))
{
    // A second alias on the same place gets a connection of its own, as another workstation
    // would have.
    dbe::Session &session = dbe::Session::instance();
    session.setBusyTimeout(ShortBusyTimeoutMs);
    db.place().addAliasForTheSamePlace(m_alias);
    m_database = session.database(m_alias);
    m_table = std::make_unique<dbe::Table>();
    m_table->setDatabaseName(m_alias);
    m_table->setTableName(table);
    m_table->open(); // before the transaction: tables cannot be attached inside one
    m_database->begin();
    m_table->append();
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        m_table->setValue(it.key(), it.value());
    m_table->post();
}

OtherStationWriting::~OtherStationWriting()
{
    m_database->rollback();
    m_table->close();
    m_table.reset();
    m_database.reset();
    dbe::Session &session = dbe::Session::instance();
    session.deleteAlias(m_alias);
    session.setBusyTimeout(-1);
}

QStringList rows(const SecurityDb &db, const QString &table, const QStringList &fields)
{
    return rows(db.alias(), table, fields);
}

QStringList rows(const QString &databaseName, const QString &table, const QStringList &fields)
{
    dbe::Table t;
    t.setDatabaseName(databaseName);
    t.setTableName(table);
    t.open();
    QStringList result;
    for (t.first(); !t.eof(); t.next()) {
        QStringList values;
        for (const QString &field : fields)
            values.append(t.asString(field));
        result.append(values.join(QLatin1Char('|')));
    }
    return result;
}

int countWhere(const SecurityDb &db, const QString &table, const QString &field,
               const QVariant &value)
{
    dbe::Table t;
    t.setDatabaseName(db.alias());
    t.setTableName(table);
    t.open();
    int count = 0;
    for (t.first(); !t.eof(); t.next()) {
        if (t.value(field) == value)
            ++count;
    }
    return count;
}

} // namespace testsupport
