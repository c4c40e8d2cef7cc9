#include "import/oldimport.h"

#include "dbe/dbase/dbasetable.h"
#include "dbe/error.h"
#include "dbe/table.h"
#include "import/oldfiles.h"
#include "rules/bulkload.h"
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
    // Opens the old file as the import's opening steps do, hands every row to `convert`, and
    // closes it again.
    void convertFile(const QString &fileName,
                     const std::function<void(const dbe::DBaseTable &)> &convert);
    // Runs one write of the load; a refusal names the old row it came from.
    template <typename Write>
    auto write(const dbe::DBaseTable &source, Write &&write) -> decltype(write());
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
    std::unique_ptr<security::BulkLoad> m_load;
    IdMap m_accessMap;
    IdMap m_userMap;
};

void Conversion::keepGoing()
{
    if (m_progress.keepGoing && !m_progress.keepGoing())
        throw Cancelled();
}

void Conversion::run()
{
    m_load = std::make_unique<security::BulkLoad>(m_request.alias, m_request.systemInformation,
                                                  [this] { keepGoing(); });
    convertAccessConstants();
    convertUsers();
    convertRights();
    if (m_request.systemInformation)
        convertSystemInformation();
    m_load->commit(QStringLiteral("import"), m_request.directory);
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
    const int total = m_progress.rows ? source.recordCount() : 0;
    int done = 0;
    for (source.first(); !source.eof(); source.next()) {
        convert(source);
        if (m_progress.rows)
            m_progress.rows(fileName, ++done, total);
        keepGoing();
    }
    source.close();
    HeaderFlags::raise(path);
}

template <typename Write>
auto Conversion::write(const dbe::DBaseTable &source, Write &&write) -> decltype(write())
{
    try {
        return write();
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
        const auto written = write(
            source, [&] { return m_load->addConstant(DecodeOldText(source.rawText(old::Label))); });
        m_accessMap.add(oldId, written.id);
        line(
            QStringLiteral("%1 mapped from %2 to %3").arg(written.name).arg(oldId).arg(written.id));
    });
}

void Conversion::convertUsers()
{
    line(QString());
    line(QStringLiteral("** Converting Users **"));
    convertFile(oldfiles::UsersFile, [this](const dbe::DBaseTable &source) {
        const qint32 oldId = source.integerValue(old::UserId);
        const auto written = write(source, [&] {
            return m_load->addUser(DecodeOldText(source.rawText(old::Login)),
                                   DecodeOldText(source.rawText(old::Password)));
        });
        m_userMap.add(oldId, written.id);
        line(
            QStringLiteral("%1 mapped from %2 to %3").arg(written.name).arg(oldId).arg(written.id));
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
        // The id maps name only users and constants written above, and the table's key refuses
        // a right the old file names twice, which stops the import as the rules would.
        write(source, [&] { m_load->grantConstant(*user, *access); });
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
        write(source, [&] { m_load->setSettings(label, logging); });
    });
}

} // namespace

TargetRows rowsInTarget(const QString &alias)
{
    const auto count = [&alias](const QString &name) {
        dbe::Table table;
        table.setDatabaseName(alias);
        table.setTableName(name);
        table.open();
        return table.recordCount();
    };
    return {count(security::tables::Users), count(security::tables::Access)};
}

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
