#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

namespace dbe {
class Database;
}

namespace security {

// What the security database says, read for the administration: its users, constants and
// groups by name, and who holds which constant and how. Every answer about holding is built on
// rightSources() of accessrule.h, the walk behind the access test itself, so that it says what
// a host's TestAccess would. Each query reads in one transaction of its own, a consistent view
// while other workstations write. Throws the engine's failures.

struct UserEntry {
    int id = 0;
    QString name;
    bool enabled = false;
    bool admin = false;
    QString def1;
    QString def2;
    QDateTime lastAccess; // invalid: never logged on
    QVariant accessCount; // null: never counted
};

struct NamedEntry {
    int id = 0;
    QString name;
};

// One constant a user holds (`id`, `name` of the constant), or one user who holds a constant
// (`id`, `name` of the user): granted directly, through the named groups, or both.
struct HeldBy {
    int id = 0;
    QString name;
    bool direct = false;
    QStringList groups; // in the order of the user's rights
};

class EffectiveRights
{
public:
    explicit EffectiveRights(const QString &databaseName);
    ~EffectiveRights();
    EffectiveRights(const EffectiveRights &) = delete;
    EffectiveRights &operator=(const EffectiveRights &) = delete;

    std::vector<UserEntry> users();           // by name
    std::vector<NamedEntry> constants();      // by id
    std::vector<NamedEntry> groups();         // by id
    // The ids of the users of this name, compared case-blind as the logon compares it (by the
    // name index); two users may share a name, as the user dialog allows.
    std::vector<int> usersNamed(const QString &name);
    // The constant of this name (case-blind) or, for a number, of this id.
    std::optional<NamedEntry> constant(const QString &nameOrId);
    // The groups of this name, compared case-blind.
    std::vector<NamedEntry> groupsNamed(const QString &name);

    // Every constant the user holds and how, by constant id. A right to a constant whose row is
    // gone is listed with an empty name: the access test grants its id all the same.
    std::vector<HeldBy> rightsOf(int userId);
    // Every enabled user who holds the constant and how, by user name. The supervisor, who holds
    // every constant without a row, is not listed.
    std::vector<HeldBy> holdersOf(int accessId);

private:
    QString m_databaseName;
    std::shared_ptr<dbe::Database> m_database;
};

} // namespace security
