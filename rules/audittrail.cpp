#include "rules/audittrail.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/addedtables.h"
#include "rules/schema.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QSysInfo>

namespace security {

namespace {

// Row 0 is no entry: every writer first updates it, which makes writers of all workstations
// take turns (a row lock on a server, the table's write lock in a file) before they read the
// newest MAC, so that no two entries follow the same one.
constexpr qint64 HeadRow = 0;

QString &processActor()
{
    static QString actor = SupervisorDisplayName;
    return actor;
}

QByteArray chainKey(const QString &masterPassword)
{
    return QCryptographicHash::hash("VeskSecure audit trail\n" + masterPassword.toUtf8(),
                                    QCryptographicHash::Sha256);
}

QString macOf(const QByteArray &key, const AuditTrail::Entry &entry, const QString &previousMac)
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, key);
    // Each text with its length, so that no two entries read the same.
    const auto add = [&mac](const QString &text) {
        const QByteArray bytes = text.toUtf8();
        mac.addData(QByteArray::number(bytes.size()) + ':' + bytes + ';');
    };
    add(QString::number(entry.number));
    add(dbe::timestampToText(entry.time));
    for (const QString *text : {&entry.osUser, &entry.host, &entry.actor, &entry.action,
                                &entry.object, &entry.change, &previousMac})
        add(*text);
    return QString::fromLatin1(mac.result().toHex());
}

QString cut(const QString &field, const QString &text)
{
    return text.left(addedTable(tables::Audit).field(field)->size);
}

std::unique_ptr<dbe::Table> openAudit(const QString &databaseName)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(databaseName);
    table->setTableName(tables::Audit);
    table->open();
    return table;
}

AuditTrail::Entry entryOf(const dbe::Table &row)
{
    using namespace fields;
    return {row.value(AuditNo).toLongLong(),
            row.asDateTime(AuditTime),
            row.asString(OsUser),
            row.asString(Host),
            row.asString(Actor),
            row.asString(Action),
            row.asString(Object),
            row.asString(Change),
            row.asString(Mac)};
}

QByteArray keyOf(const QString &databaseName)
{
    return chainKey(dbe::Session::instance().database(databaseName)->openingPassword());
}

} // namespace

struct AuditTrail::Impl {
    QString databaseName;
    std::unique_ptr<dbe::Table> table;
};

AuditTrail::AuditTrail(const QString &databaseName) : d(std::make_unique<Impl>())
{
    d->databaseName = databaseName;
    ensureAddedTable(databaseName, tables::Audit);
    d->table = openAudit(databaseName);
    if (d->table->findKey({HeadRow}))
        return;
    try {
        d->table->append();
        d->table->setValue(fields::AuditNo, HeadRow);
        d->table->setValue(fields::Action, QStringLiteral("head"));
        d->table->post();
    } catch (const dbe::Error &error) {
        d->table->cancel();
        if (error.code() != dbe::Error::KeyViolation) // written by another workstation meanwhile
            throw;
    }
}

AuditTrail::~AuditTrail() = default;

void AuditTrail::record(const QString &action, const QString &object, const QString &change)
{
    dbe::Table &table = *d->table;
    const QDateTime now = QDateTime::currentDateTime();
    if (!table.findKey({HeadRow}))
        throw dbe::Error(QStringLiteral("The audit trail has lost its first row."),
                         dbe::Error::Damaged);
    table.updateCurrent({{fields::AuditTime, now}});
    table.last();
    const qint64 previous = table.value(fields::AuditNo).toLongLong();
    const QString previousMac = previous == HeadRow ? QString() : table.asString(fields::Mac);

    Entry entry{previous + 1,
                now,
                cut(fields::OsUser, dbe::Session::netUserName()),
                cut(fields::Host, QSysInfo::machineHostName()),
                cut(fields::Actor, actor()),
                cut(fields::Action, action),
                cut(fields::Object, object),
                cut(fields::Change, change),
                {}};
    entry.mac = macOf(keyOf(d->databaseName), entry, previousMac);
    try {
        using namespace fields;
        table.append();
        table.setValue(AuditNo, entry.number);
        table.setValue(AuditTime, entry.time);
        table.setValue(OsUser, entry.osUser);
        table.setValue(Host, entry.host);
        table.setValue(Actor, entry.actor);
        table.setValue(Action, entry.action);
        table.setValue(Object, entry.object);
        table.setValue(Change, entry.change);
        table.setValue(Mac, entry.mac);
        table.post();
    } catch (...) {
        table.cancel();
        throw;
    }
}

void AuditTrail::setActor(const QString &actor)
{
    processActor() = actor;
}

QString AuditTrail::actor()
{
    return processActor();
}

QList<AuditTrail::Entry> AuditTrail::entries(const QString &databaseName, const QDate &from,
                                             const QDate &to)
{
    QList<Entry> found;
    if (!addedTableExists(databaseName, tables::Audit))
        return found;
    const std::unique_ptr<dbe::Table> table = openAudit(databaseName);
    for (table->first(); !table->eof(); table->next()) {
        const Entry entry = entryOf(*table);
        const QDate day = entry.time.date();
        if (entry.number == HeadRow || (from.isValid() && day < from) || (to.isValid() && day > to))
            continue;
        found.append(entry);
    }
    return found;
}

AuditTrail::Verification AuditTrail::verify(const QString &databaseName)
{
    Verification result;
    if (!addedTableExists(databaseName, tables::Audit))
        return result;
    const std::unique_ptr<dbe::Table> table = openAudit(databaseName);
    const QByteArray key = keyOf(databaseName);
    QString previousMac;
    for (table->first(); !table->eof(); table->next()) {
        const Entry entry = entryOf(*table);
        if (entry.number == HeadRow)
            continue;
        ++result.count;
        if (entry.number != result.count) {
            result.firstBad = entry.number;
            result.problem = entry.number > result.count
                                 ? QStringLiteral("the entries before it are missing")
                                 : QStringLiteral("it is numbered out of order");
        } else if (macOf(key, entry, previousMac) != entry.mac) {
            result.firstBad = entry.number;
            result.problem = QStringLiteral("its MAC does not match its content and the entry "
                                            "before it");
        }
        if (!result.intact())
            break;
        previousMac = entry.mac;
        result.lastMac = entry.mac;
    }
    return result;
}

void recordAudit(const QString &databaseName, const QString &action, const QString &object,
                 const QString &change)
{
    AuditTrail(databaseName).record(action, object, change);
}

} // namespace security
