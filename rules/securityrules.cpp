#include "rules/securityrules.h"

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/audittrail.h"
#include "rules/cursor.h"
#include "rules/logonrule.h"
#include "rules/schema.h"

#include <QStringList>

namespace security {

namespace {

// Deletes the rows of the cursor's range that `matches` accepts. A deletion moves the cursor
// on by itself (back to the row before at the end, which was looked at already).
template <typename Match> void removeWhere(dbe::Table &table, Match matches)
{
    for (table.first(); !table.eof();) {
        if (matches(table))
            table.remove();
        else
            table.next();
    }
}

// Runs one operation in a transaction of its own. An outcome without a change commits too, so
// that a caller's enclosing transaction is not spoilt by a mere "not found"; only a failure
// rolls back.
template <typename Body> auto inTransaction(dbe::Database &database, Body body)
{
    dbe::Transaction transaction(database);
    const auto result = body();
    transaction.commit();
    return result;
}

void removeAll(dbe::Table &table)
{
    removeWhere(table, [](const dbe::Table &) { return true; });
}

// The name as the table will keep it, so that the duplicate test compares what is stored.
QString storedName(dbe::Table &access, const QString &name)
{
    return dbe::DataSet::coerce(dbe::FieldType::Alpha, access.fieldInfo(fields::AccessName).size,
                                name)
        .toString();
}

bool fits(dbe::Table &table, const QString &field, const QString &text)
{
    return text.size() <= table.fieldInfo(field).size;
}

// The first of the user's texts that the table could not keep whole, if any.
QString tooLongField(dbe::Table &users, const SecurityRules::UserFields &user)
{
    const std::pair<QString, QString> texts[] = {{fields::UserName, user.name},
                                                 {fields::UserPassword, user.password},
                                                 {fields::UserDef1, user.def1},
                                                 {fields::UserDef2, user.def2}};
    for (const auto &[field, text] : texts) {
        if (!fits(users, field, text))
            return field;
    }
    return {};
}

SecurityRules::UserChange userChange(SecurityRules::UserChange::Status status, int userId = 0,
                                     const QString &field = {})
{
    SecurityRules::UserChange change;
    change.status = status;
    change.userId = userId;
    change.field = field;
    return change;
}

// What a grant gave, for its audit entry: "constant Print (3)", "group Clerks (2)".
QString rightText(const dbe::Table &target, const QString &type, int id)
{
    return type == RightGroup
               ? QStringLiteral("group %1 (%2)").arg(target.asString(fields::GroupName)).arg(id)
               : QStringLiteral("constant %1 (%2)")
                     .arg(target.asString(fields::AccessName))
                     .arg(id);
}

} // namespace

SecurityRules::SecurityRules(const QString &databaseName)
    : m_databaseName(databaseName), m_database(dbe::Session::instance().database(databaseName))
{
    // A file database attaches a table only outside a transaction: the trail is made ready
    // here, so that the operations may also run inside a caller's transaction begun later.
    if (!m_database->inTransaction())
        AuditTrail trail(databaseName);
}

SecurityRules::~SecurityRules() = default;

bool SecurityRules::deleteUser(int userId)
{
    Cursor users(m_databaseName, tables::Users);
    Cursor rights(m_databaseName, tables::UserAcc);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!users.findKey({userId}))
            return false;
        rights.setRange({userId}, {userId});
        const int held = rights.recordCount();
        removeAll(rights);
        audit.record(QStringLiteral("delete user"), users.asString(fields::UserName),
                     QStringLiteral("id %1, with %2 rights").arg(userId).arg(held));
        users.remove();
        return true;
    });
}

bool SecurityRules::deleteConstant(int accessId)
{
    Cursor constants(m_databaseName, tables::Access);
    Cursor rights(m_databaseName, tables::UserAcc);
    Cursor members(m_databaseName, tables::GrpColl);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!constants.findKey({accessId}))
            return false;
        audit.record(QStringLiteral("delete constant"), constants.asString(fields::AccessName),
                     QStringLiteral("id %1, with its rights and memberships").arg(accessId));
        constants.remove();
        // No index leads with the constant: every right and every membership is looked at.
        removeWhere(rights, [accessId](const dbe::Table &row) {
            return row.asInteger(fields::AccessId) == accessId &&
                   row.asString(fields::RightType) == RightConstant;
        });
        removeWhere(members, [accessId](const dbe::Table &row) {
            return row.asInteger(fields::AccessId) == accessId;
        });
        return true;
    });
}

bool SecurityRules::deleteGroup(int groupId)
{
    Cursor groups(m_databaseName, tables::Groups);
    Cursor rights(m_databaseName, tables::UserAcc);
    Cursor members(m_databaseName, tables::GrpColl);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!groups.findKey({groupId}))
            return false;
        audit.record(QStringLiteral("delete group"), groups.asString(fields::GroupName),
                     QStringLiteral("id %1, with its rights and memberships").arg(groupId));
        groups.remove();
        removeWhere(rights, [groupId](const dbe::Table &row) {
            return row.asInteger(fields::AccessId) == groupId &&
                   row.asString(fields::RightType) == RightGroup;
        });
        members.setRange({groupId}, {groupId});
        removeAll(members);
        return true;
    });
}

SecurityRules::Link SecurityRules::grant(int userId, int id, const QString &type)
{
    if (type != RightConstant && type != RightGroup)
        return Link::NoSuchTarget;
    Cursor users(m_databaseName, tables::Users);
    Cursor targets(m_databaseName, type == RightGroup ? tables::Groups : tables::Access);
    Cursor rights(m_databaseName, tables::UserAcc);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!users.findKey({userId}))
            return Link::NoSuchHolder;
        if (!targets.findKey({id}))
            return Link::NoSuchTarget;
        if (rights.findKey({userId, id, type}))
            return Link::AlreadyThere;
        rights.insert();
        rights.setValue(fields::UserId, userId);
        rights.setValue(fields::AccessId, id);
        rights.setValue(fields::RightType, type);
        rights.post();
        audit.record(QStringLiteral("grant"), users.asString(fields::UserName),
                     rightText(targets, type, id));
        return Link::Added;
    });
}

bool SecurityRules::revoke(int userId, int id, const QString &type)
{
    Cursor rights(m_databaseName, tables::UserAcc);
    Cursor users(m_databaseName, tables::Users);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!rights.findKey({userId, id, type}))
            return false;
        rights.remove();
        audit.record(
            QStringLiteral("revoke"),
            users.findKey({userId}) ? users.asString(fields::UserName)
                                    : QStringLiteral("user %1").arg(userId),
            QStringLiteral("%1 %2")
                .arg(type == RightGroup ? QStringLiteral("group") : QStringLiteral("constant"))
                .arg(id));
        return true;
    });
}

SecurityRules::Link SecurityRules::addMember(int groupId, int accessId)
{
    Cursor groups(m_databaseName, tables::Groups);
    Cursor constants(m_databaseName, tables::Access);
    Cursor members(m_databaseName, tables::GrpColl);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!groups.findKey({groupId}))
            return Link::NoSuchHolder;
        if (!constants.findKey({accessId}))
            return Link::NoSuchTarget;
        if (members.findKey({groupId, accessId}))
            return Link::AlreadyThere;
        members.insert();
        members.setValue(fields::GroupId, groupId);
        members.setValue(fields::AccessId, accessId);
        members.post();
        audit.record(QStringLiteral("add member"), groups.asString(fields::GroupName),
                     QStringLiteral("constant %1 (%2)")
                         .arg(constants.asString(fields::AccessName))
                         .arg(accessId));
        return Link::Added;
    });
}

bool SecurityRules::removeMember(int groupId, int accessId)
{
    Cursor members(m_databaseName, tables::GrpColl);
    Cursor groups(m_databaseName, tables::Groups);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!members.findKey({groupId, accessId}))
            return false;
        members.remove();
        audit.record(QStringLiteral("remove member"),
                     groups.findKey({groupId}) ? groups.asString(fields::GroupName)
                                               : QStringLiteral("group %1").arg(groupId),
                     QStringLiteral("constant %1").arg(accessId));
        return true;
    });
}

SecurityRules::NameChange SecurityRules::addConstant(const QString &name)
{
    return insertConstant(name, std::nullopt);
}

SecurityRules::NameChange SecurityRules::addConstant(const QString &name, int accessId)
{
    if (accessId < 1)
        return {NameChange::BadId};
    return insertConstant(name, accessId);
}

SecurityRules::NameChange SecurityRules::insertConstant(const QString &name,
                                                        std::optional<int> accessId)
{
    if (name.isEmpty())
        return {NameChange::EmptyName};
    Cursor constants(m_databaseName, tables::Access, indexes::AccessName);
    Cursor byId(m_databaseName, tables::Access);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (constants.findKey({storedName(constants, name)}))
            return NameChange{NameChange::Duplicate, constants.asInteger(fields::AccessId)};
        if (accessId && byId.findKey({*accessId}))
            return NameChange{NameChange::IdTaken, *accessId};
        constants.insert();
        if (accessId)
            constants.setValue(fields::AccessId, *accessId);
        constants.setValue(fields::AccessName, name);
        constants.post();
        audit.record(QStringLiteral("add constant"), constants.asString(fields::AccessName),
                     QStringLiteral("id %1").arg(constants.asInteger(fields::AccessId)));
        return NameChange{NameChange::Written, constants.asInteger(fields::AccessId)};
    });
}

SecurityRules::NameChange SecurityRules::addGroup(const QString &name)
{
    if (name.isEmpty())
        return {NameChange::EmptyName};
    Cursor groups(m_databaseName, tables::Groups);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        // The group name is cut to the field like a constant's; no index leads with it.
        const QString stored = dbe::DataSet::coerce(dbe::FieldType::Alpha,
                                                    groups.fieldInfo(fields::GroupName).size, name)
                                   .toString();
        for (groups.first(); !groups.eof(); groups.next()) {
            if (sameTextCaseBlind(groups.asString(fields::GroupName), stored))
                return NameChange{NameChange::Duplicate, groups.asInteger(fields::GroupId)};
        }
        groups.insert();
        groups.setValue(fields::GroupName, name);
        groups.post();
        audit.record(QStringLiteral("add group"), groups.asString(fields::GroupName),
                     QStringLiteral("id %1").arg(groups.asInteger(fields::GroupId)));
        return NameChange{NameChange::Written, groups.asInteger(fields::GroupId)};
    });
}

SecurityRules::UserChange SecurityRules::addUser(const UserFields &user)
{
    if (user.name.isEmpty())
        return userChange(UserChange::EmptyName);
    // The supervisor's name and the master password log him on before any row is looked at, so
    // a user of that name could be mistaken for him.
    if (sameTextCaseBlind(user.name, SupervisorLogonName))
        return userChange(UserChange::Reserved);
    Cursor users(m_databaseName, tables::Users, indexes::UserName);
    if (const QString field = tooLongField(users, user); !field.isEmpty())
        return userChange(UserChange::TooLong, 0, field);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (users.findKey({user.name}))
            return userChange(UserChange::Duplicate, users.asInteger(fields::UserId));
        users.insert();
        users.setValue(fields::UserName, user.name);
        users.setValue(fields::UserPassword, user.password);
        users.setValue(fields::UserDef1, user.def1);
        users.setValue(fields::UserDef2, user.def2);
        users.setValue(fields::UserEnabled, user.enabled);
        users.setValue(fields::UserAdmin, user.admin);
        // Last access and count stay blank until the first logon, as the user dialog leaves them.
        users.post();
        audit.record(QStringLiteral("add user"), users.asString(fields::UserName),
                     QStringLiteral("id %1, %2, %3")
                         .arg(users.asInteger(fields::UserId))
                         .arg(user.enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"),
                              user.admin ? QStringLiteral("administrator")
                                         : QStringLiteral("no administrator")));
        return userChange(UserChange::Written, users.asInteger(fields::UserId));
    });
}

SecurityRules::UserChange SecurityRules::alterUser(int userId, const UserAlteration &change)
{
    Cursor users(m_databaseName, tables::Users);
    for (const auto &[field, text] :
         {std::pair{fields::UserDef1, change.def1}, std::pair{fields::UserDef2, change.def2}}) {
        if (text && !fits(users, field, *text))
            return userChange(UserChange::TooLong, userId, field);
    }
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!users.findKey({userId}))
            return userChange(UserChange::NotFound, userId);
        users.edit();
        if (change.enabled)
            users.setValue(fields::UserEnabled, *change.enabled);
        if (change.admin)
            users.setValue(fields::UserAdmin, *change.admin);
        if (change.def1)
            users.setValue(fields::UserDef1, *change.def1);
        if (change.def2)
            users.setValue(fields::UserDef2, *change.def2);
        users.post();
        QStringList changed;
        if (change.enabled)
            changed.append(*change.enabled ? QStringLiteral("enabled")
                                           : QStringLiteral("disabled"));
        if (change.admin)
            changed.append(*change.admin ? QStringLiteral("administrator")
                                         : QStringLiteral("no administrator"));
        if (change.def1)
            changed.append(QStringLiteral("%1 %2").arg(fields::UserDef1, *change.def1));
        if (change.def2)
            changed.append(QStringLiteral("%1 %2").arg(fields::UserDef2, *change.def2));
        audit.record(QStringLiteral("edit user"), users.asString(fields::UserName),
                     changed.isEmpty() ? QStringLiteral("nothing changed")
                                       : changed.join(QStringLiteral("; ")));
        return userChange(UserChange::Written, userId);
    });
}

SecurityRules::UserChange SecurityRules::setPassword(int userId, const QString &password)
{
    Cursor users(m_databaseName, tables::Users);
    if (!fits(users, fields::UserPassword, password))
        return userChange(UserChange::TooLong, userId, fields::UserPassword);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        if (!users.findKey({userId}))
            return userChange(UserChange::NotFound, userId);
        users.edit();
        users.setValue(fields::UserPassword, password);
        users.post();
        // Never the password itself.
        audit.record(QStringLiteral("edit user"), users.asString(fields::UserName),
                     QStringLiteral("%1 changed").arg(fields::UserPassword));
        return userChange(UserChange::Written, userId);
    });
}

SecurityRules::NameChange SecurityRules::renameConstant(const QString &oldName,
                                                        const QString &newName)
{
    if (newName.isEmpty())
        return {NameChange::EmptyName};
    Cursor constants(m_databaseName, tables::Access, indexes::AccessName);
    AuditTrail audit(m_databaseName);
    return inTransaction(*m_database, [&] {
        // The lookup also finds the constant itself when the name is unchanged or differs only
        // in letter case, and that is refused as well: the names are compared case-blind.
        if (constants.findKey({storedName(constants, newName)}))
            return NameChange{NameChange::Duplicate, constants.asInteger(fields::AccessId)};
        if (!constants.findKey({oldName}))
            return NameChange{NameChange::NotFound};
        const QString before = constants.asString(fields::AccessName);
        constants.edit();
        constants.setValue(fields::AccessName, newName);
        constants.post();
        audit.record(QStringLiteral("rename constant"), constants.asString(fields::AccessName),
                     QStringLiteral("was %1").arg(before));
        return NameChange{NameChange::Written, constants.asInteger(fields::AccessId)};
    });
}

} // namespace security
