#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace dbe {
class Database;
}

// How the security rules fail, in this header and every other of rules/: an engine failure (a
// row locked by another workstation, a lost or damaged table, a full disk) is thrown as
// dbe::Error with the engine's text; a refusal that is an expected outcome of a rule (a name
// taken, no such user, a wrong password) is returned as a value (Link, NameChange,
// LogonVerdict) for the caller to word. Windows run what may throw through ui::runGuarded; the
// command line prints the text and ends with status 1.

namespace security {

// The changes to a security database that carry a rule beyond their own row: what goes with a
// deleted user, constant or group, and when a right, a group member or a constant's name may be
// written. The setup editor changes the tables through here, so its rules hold for every window.
//
// Each operation is one transaction: done whole or not at all, together with its one entry in
// the audit trail (see audittrail.h; an outcome that writes nothing writes no entry).
//
// The operations read and write through cursors of their own: a window's cursors keep their
// place and range, and see the change at their next move as they see another workstation's.
class SecurityRules
{
public:
    // The security database under this alias (or directory); makes its audit trail ready when
    // no transaction is open. Throws UnknownAlias and the engine's failures.
    explicit SecurityRules(const QString &databaseName);
    ~SecurityRules();

    SecurityRules(const SecurityRules &) = delete;
    SecurityRules &operator=(const SecurityRules &) = delete;

    // Deletes the user and all of his rights; his log rows stay, as the history they are.
    // False when there is no such user.
    bool deleteUser(int userId);
    // Deletes the access constant, every direct grant of it (rights of type "C") and its
    // memberships in groups. Group rights stay, even of a group whose id equals the constant's.
    // False when there is no such constant.
    bool deleteConstant(int accessId);
    // Deletes the group, every grant of it (rights of type "G") and its memberships; the member
    // constants stay. False when there is no such group.
    bool deleteGroup(int groupId);

    // What a grant or a new group member came to.
    enum class Link {
        Added,        // the row was written
        AlreadyThere, // the user (group) held it already; nothing was written
        NoSuchHolder, // there is no such user (group)
        NoSuchTarget, // there is no such constant or group to grant, or the type is no type
    };
    // Grants the constant (type RightConstant) or the group (RightGroup) `id` to the user.
    Link grant(int userId, int id, const QString &type);
    // Takes the user's right of exactly this id and type code away. False when he has none.
    bool revoke(int userId, int id, const QString &type);
    // Makes the constant a member of the group.
    Link addMember(int groupId, int accessId);
    // False when the constant was no member of the group.
    bool removeMember(int groupId, int accessId);

    // What became of a constant's name.
    struct NameChange {
        enum Status {
            Written,
            EmptyName, // nothing was written
            Duplicate, // another constant (or, on a rename, this one) has the name already,
                       // compared case-blind on the text the table would keep
            NotFound,  // a rename found no constant of the old name
            IdTaken,   // another constant has the id asked for
            BadId,     // an id asked for must be from 1 up
        };
        Status status = Written;
        int accessId = 0; // the constant (by addGroup, the group) written
    };
    // Adds a constant; the engine numbers it. A name longer than the field is cut, and the cut
    // name must be new.
    NameChange addConstant(const QString &name);
    // The same with the id given: a host's source may already declare the constant under it.
    // Later constants the engine numbers go on after the largest id.
    NameChange addConstant(const QString &name, int accessId);
    // Adds a group, which the command line names: unlike the group dialog, which keeps any name
    // it is given, the name must be there, fit the field and be new (case-blind), or there would
    // be no telling two groups apart by name.
    NameChange addGroup(const QString &name);

    // A user as the administration adds him.
    struct UserFields {
        QString name;
        QString password;
        bool enabled = true;
        bool admin = false;
        QString def1;
        QString def2;
    };
    // What is changed of a user; what is absent stays.
    struct UserAlteration {
        std::optional<bool> enabled;
        std::optional<bool> admin;
        std::optional<QString> def1;
        std::optional<QString> def2;
    };
    // What became of a user.
    struct UserChange {
        enum Status {
            Written,
            EmptyName,
            Duplicate, // another user has the name, compared case-blind
            Reserved,  // the name logs on the supervisor
            TooLong,   // `field` holds more characters than the table keeps
            NotFound,  // no user has the id
        };
        Status status = Written;
        int userId = 0;
        QString field; // with TooLong: the field, as named in schema.h
    };
    // Adds a user. Text is refused, not cut, when it does not fit: a cut password would never
    // match the one typed at the logon. New users of the command line have names of their own
    // (the user dialog allows twins, which a name on the command line could not tell apart).
    UserChange addUser(const UserFields &user);
    UserChange alterUser(int userId, const UserAlteration &change);
    // Stores the user's new password as the logon compares it: as typed, the tables being
    // protected as a whole by the master password.
    UserChange setPassword(int userId, const QString &password);
    // Renames the constant now called `oldName`; its id, rights and memberships stay with it.
    NameChange renameConstant(const QString &oldName, const QString &newName);

private:
    NameChange insertConstant(const QString &name, std::optional<int> accessId);

    QString m_databaseName;
    // Held so that the tables stay attached between operations.
    std::shared_ptr<dbe::Database> m_database;
};

} // namespace security
