#include "import/oldimport.h"

#include "dbe/database.h"
#include "dbe/dbase/dbasetable.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "import/oldfiles.h"
#include "rules/audittrail.h"
#include "rules/schema.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <memory>

namespace oldimport {

namespace {

// The fields of the old files.
namespace old {
const QString UserId = QStringLiteral("UID");
const QString Login = QStringLiteral("Login");
const QString Password = QStringLiteral("Password");
const QString AccessId = QStringLiteral("AccessId");
const QString Label = QStringLiteral("Label");
const QString RightUser = QStringLiteral("UID");
const QString RightAccess = QStringLiteral("ACCESSID");
const QString Description = QStringLiteral("Descript");
const QString LoginLog = QStringLiteral("LoginLog");
} // namespace old

// The tables and fields written.
namespace target {
using namespace security::tables;
using namespace security::fields;
} // namespace target

struct Cancelled {
};

// One entry of an id map: an old id and the id its row got in the new table.
struct MapObj {
    qint32 oldId = 0;
    qint32 newId = 0;
};

// The entries in the order they were made. An old id that occurs twice keeps its first entry,
// as a search from the front finds it; the hash only makes that search fast.
class IdMap
{
public:
    void add(qint32 oldId, qint32 newId)
    {
        m_entries.append({oldId, newId});
        if (!m_first.contains(oldId))
            m_first.insert(oldId, newId);
    }
    std::optional<qint32> find(qint32 oldId) const
    {
        const auto it = m_first.constFind(oldId);
        return it == m_first.cend() ? std::nullopt : std::optional<qint32>(*it);
    }

private:
    QList<MapObj> m_entries;
    QHash<qint32, qint32> m_first;
};

// The header bytes changed so far, with the values they had, so that a failed import can put
// them back.
class HeaderFlags
{
public:
    void lower(const QString &path)
    {
        const quint8 before = ProductionIndexFlag(path);
        m_changed.append({path, before});
        SetProductionIndexFlag(path, 0);
    }
    static void raise(const QString &path) { SetProductionIndexFlag(path, 1); }

    // Puts every changed byte back; answers what could not be put back.
    QString restore()
    {
        QStringList failures;
        for (auto it = m_changed.crbegin(); it != m_changed.crend(); ++it) {
            try {
                SetProductionIndexFlag(it->first, it->second);
            } catch (const dbe::Error &error) {
                failures.append(error.text());
            }
        }
        m_changed.clear();
        return failures.join(QLatin1Char('\n'));
    }

private:
    QList<QPair<QString, quint8>> m_changed;
};

class Conversion
{
public:
    Conversion(const Request &request, const Progress &progress)
        : m_request(request), m_progress(progress)
    {
    }

    void run();
    HeaderFlags &headers() { return m_headers; }

private:
    std::unique_ptr<dbe::Table> openTarget(const QString &table);
    // Opens the old file as the import's opening steps do, hands every row to `convert`, and
    // closes it again.
    void convertFile(const QString &fileName,
                     const std::function<void(const dbe::DBaseTable &)> &convert);
    void post(dbe::Table &table, const dbe::DBaseTable &source);
    void keepGoing(); // throws Cancelled when asked to stop
    void line(const QString &text)
    {
        if (m_progress.line)
            m_progress.line(text);
    }

    void convertAccessConstants();
    void convertUsers();
    void convertRights();
    void convertSystemInformation();

    const Request &m_request;
    const Progress &m_progress;
    HeaderFlags m_headers;
    std::unique_ptr<dbe::Table> m_access;
    std::unique_ptr<dbe::Table> m_users;
    std::unique_ptr<dbe::Table> m_rights;
    std::unique_ptr<dbe::Table> m_program;
    IdMap m_accessMap;
    IdMap m_userMap;
    QMap<QString, int> m_written; // rows written, by table
};

std::unique_ptr<dbe::Table> Conversion::openTarget(const QString &table)
{
    auto t = std::make_unique<dbe::Table>();
    t->setDatabaseName(m_request.alias);
    t->setTableName(table);
    t->open();
    // Opening a table derives its key, which takes a moment: the window may repaint.
    keepGoing();
    return t;
}

void Conversion::keepGoing()
{
    if (m_progress.keepGoing && !m_progress.keepGoing())
        throw Cancelled();
}

void Conversion::run()
{
    // The engine attaches a table only outside a transaction, so every target is open before
    // the transaction begins.
    m_access = openTarget(target::Access);
    m_users = openTarget(target::Users);
    m_rights = openTarget(target::UserAcc);
    if (m_request.systemInformation)
        m_program = openTarget(target::Program);
    security::AuditTrail audit(m_request.alias);
    std::shared_ptr<dbe::Database> database = dbe::Session::instance().database(m_request.alias);
    dbe::Transaction transaction(*database);

    convertAccessConstants();
    convertUsers();
    convertRights();
    if (m_request.systemInformation)
        convertSystemInformation();
    // One entry for the whole import, with what it wrote.
    QStringList counts;
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it)
        counts.append(QStringLiteral("%1 %2").arg(it.value()).arg(it.key()));
    audit.record(QStringLiteral("import"), m_request.directory,
                 counts.isEmpty() ? QStringLiteral("nothing") : counts.join(QStringLiteral(", ")));
    transaction.commit();
}

void Conversion::convertFile(const QString &fileName,
                             const std::function<void(const dbe::DBaseTable &)> &convert)
{
    const QString path = dbe::DBaseTable::filePath(m_request.directory, fileName);
    m_headers.lower(path);
    dbe::DBaseTable source;
    source.setDatabaseName(m_request.directory);
    source.setTableName(fileName);
    source.open();
    for (source.first(); !source.eof(); source.next()) {
        convert(source);
        keepGoing();
    }
    source.close();
    HeaderFlags::raise(path);
}

void Conversion::post(dbe::Table &table, const dbe::DBaseTable &source)
{
    try {
        table.post();
        ++m_written[table.tableName().section(QLatin1Char('.'), 0, 0).toUpper()];
    } catch (const dbe::Error &error) {
        // The engine's text says what it refused; which old row it came from is what the
        // administrator needs to mend the old files.
        throw dbe::Error(QStringLiteral("%1\n\n(%2, record %3)")
                             .arg(error.text(), source.tableName())
                             .arg(source.recordNumber()),
                         error.code());
    }
}

void Conversion::convertAccessConstants()
{
    line(QStringLiteral("** Converting Access Constants **"));
    convertFile(oldfiles::AccessFile, [this](const dbe::DBaseTable &source) {
        const qint32 oldId = source.integerValue(old::AccessId);
        m_access->append();
        m_access->setValue(target::AccessName, DecodeOldText(source.rawText(old::Label)));
        post(*m_access, source);
        const qint32 newId = m_access->asInteger(target::AccessId);
        m_accessMap.add(oldId, newId);
        line(QStringLiteral("%1 mapped from %2 to %3")
                 .arg(m_access->asString(target::AccessName))
                 .arg(oldId)
                 .arg(newId));
    });
}

void Conversion::convertUsers()
{
    line(QString());
    line(QStringLiteral("** Converting Users **"));
    convertFile(oldfiles::UsersFile, [this](const dbe::DBaseTable &source) {
        const qint32 oldId = source.integerValue(old::UserId);
        m_users->append();
        m_users->setValue(target::UserName, DecodeOldText(source.rawText(old::Login)));
        m_users->setValue(target::UserPassword, DecodeOldText(source.rawText(old::Password)));
        post(*m_users, source);
        const qint32 newId = m_users->asInteger(target::UserId);
        m_userMap.add(oldId, newId);
        line(QStringLiteral("%1 mapped from %2 to %3")
                 .arg(m_users->asString(target::UserName))
                 .arg(oldId)
                 .arg(newId));
    });
}

void Conversion::convertRights()
{
    line(QString());
    line(QStringLiteral("** Converting User Access Rights **"));
    convertFile(oldfiles::RightsFile, [this](const dbe::DBaseTable &source) {
        const std::optional<qint32> user = m_userMap.find(source.integerValue(old::RightUser));
        const std::optional<qint32> access =
            m_accessMap.find(source.integerValue(old::RightAccess));
        // A right whose user or constant did not come across has nobody or nothing to name.
        if (!user || !access)
            return;
        // Appended here rather than granted through SecurityRules, which opens its cursors
        // per operation: forty times slower over 50,000 rights. The id maps already name only
        // users and constants written above, and the table's key refuses a right the old file
        // names twice, which stops the import as the rules would.
        m_rights->append();
        m_rights->setValue(target::UserId, *user);
        m_rights->setValue(target::AccessId, *access);
        m_rights->setValue(target::RightType, security::RightConstant);
        post(*m_rights, source);
        line(QStringLiteral("Id %1 added for user %2").arg(*access).arg(*user));
    });
    m_userMap = {};
    m_accessMap = {};
}

void Conversion::convertSystemInformation()
{
    line(QString());
    line(QStringLiteral("** Converting System Information **"));
    bool converted = false;
    convertFile(oldfiles::SystemFile, [this, &converted](const dbe::DBaseTable &source) {
        // Only the first row holds the settings. A file without rows leaves them as they are.
        if (converted)
            return;
        converted = true;
        const QString label = DecodeOldText(source.rawText(old::Description));
        const std::optional<bool> logging = source.logicalValue(old::LoginLog);
        m_program->first();
        if (m_program->isEmpty())
            m_program->append();
        else
            m_program->edit();
        m_program->setValue(target::SecurityLabel, label);
        m_program->setValue(target::LogEnabled, logging ? QVariant(*logging) : QVariant());
        post(*m_program, source);
    });
}

} // namespace

Result run(const Request &request, const Progress &progress)
{
    Conversion conversion(request, progress);
    try {
        conversion.run();
        return Result::Imported;
    } catch (const Cancelled &) {
        const QString unrestored = conversion.headers().restore();
        if (!unrestored.isEmpty())
            throw dbe::Error(unrestored, dbe::Error::Io);
        return Result::Cancelled;
    } catch (const dbe::Error &error) {
        const QString unrestored = conversion.headers().restore();
        if (unrestored.isEmpty())
            throw;
        throw dbe::Error(error.text() + QStringLiteral("\n\n") + unrestored, error.code());
    } catch (...) {
        conversion.headers().restore();
        throw;
    }
}

} // namespace oldimport
