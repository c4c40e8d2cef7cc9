#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>

namespace dbe {
class Table;
}

namespace security {

// The audit trail: table AUDIT beside the seven, appended to only by the kit, one entry for every
// change of users, constants, groups, memberships, rights, settings and policy, for each clear or
// purge of the log, and (when the logon policy says so) for failed logons, lockouts and unlocks.
//
// How a change records itself, the same everywhere:
//
//     security::AuditTrail audit(databaseName);       // before the transaction starts
//     dbe::Transaction transaction(*database);
//     ... the change ...
//     audit.record(QStringLiteral("delete user"), name, QStringLiteral("with 3 rights"));
//     transaction.commit();
//
// Inside a SecurityRules operation the trail is ready already (the SecurityRules constructor
// readied it), and one line does:
//
//     security::recordAudit(m_databaseName, QStringLiteral("add user"), name, details);
//
// The entry is written in the change's transaction: no change without its entry, and no entry
// without its change. The constructor creates the table when first needed and opens it, which
// an embedded database can do only outside a transaction; record() may then be called in any
// number of transactions.
//
// Each entry holds an HMAC keyed from the master password over its content and the MAC of the
// entry before it, so an entry altered, inserted or removed in the middle breaks the chain.
// Removing the newest entries leaves a sound but shorter chain: only a count and last MAC
// recorded elsewhere show that.
class AuditTrail
{
public:
    // Throws the engine's failures.
    explicit AuditTrail(const QString &databaseName);
    ~AuditTrail();
    AuditTrail(const AuditTrail &) = delete;
    AuditTrail &operator=(const AuditTrail &) = delete;

    // Appends one entry for the acting user (see setActor()). `action` says what was done
    // ("delete user"), `object` to what ("ann"), `change` the details. Texts longer than their
    // fields are cut. Writers of all workstations take turns here. Throws the engine's failures.
    void record(const QString &action, const QString &object, const QString &change = {});

    // Who the entries of this process name as acting: the security user logged on, "Supervisor"
    // (the default, for the desktop opened with the master password) or a command ("vesksec
    // policy").
    static void setActor(const QString &actor);
    static QString actor();

    struct Entry {
        qint64 number = 0; // 1, 2, 3, ... in the order written
        QDateTime time;
        QString osUser, host, actor, action, object, change;
        QString mac; // hexadecimal
    };
    // The entries whose date lies between `from` and `to` (either may be null: no bound), oldest
    // first. No table yet: none. Throws the engine's failures.
    static QList<Entry> entries(const QString &databaseName, const QDate &from = {},
                                const QDate &to = {});

    struct Verification {
        qint64 count = 0;    // entries read
        QString lastMac;     // of the newest entry; empty when there is none
        qint64 firstBad = 0; // number of the first entry that breaks the chain; 0: none
        QString problem;     // what is wrong with it
        bool intact() const { return firstBad == 0; }
    };
    // Walks the chain. Throws the engine's failures.
    static Verification verify(const QString &databaseName);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// AuditTrail(databaseName).record(action, object, change): the one call per change, in the
// change's transaction, where the trail was made ready before the transaction began (on a
// directory database it cannot be opened inside one; a server does not mind).
void recordAudit(const QString &databaseName, const QString &action, const QString &object,
                 const QString &change = {});

} // namespace security
