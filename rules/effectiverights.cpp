#include "rules/effectiverights.h"

#include "dbe/database.h"
#include "dbe/session.h"
#include "rules/accessrule.h"
#include "rules/cursor.h"
#include "rules/logonrule.h"
#include "rules/schema.h"

#include <QMap>
#include <algorithm>

namespace security {

namespace {

// Reads in one transaction, so that a query sees the tables as one moment left them.
template <typename Body> auto reading(dbe::Database &database, Body body)
{
    dbe::Transaction transaction(database);
    auto result = body();
    transaction.commit();
    return result;
}

QMap<int, QString> namesOf(dbe::Table &table, const QString &idField, const QString &nameField)
{
    QMap<int, QString> names;
    for (table.first(); !table.eof(); table.next())
        names.insert(table.asInteger(idField), table.asString(nameField));
    return names;
}

std::vector<NamedEntry> entriesOf(dbe::Table &table, const QString &idField,
                                  const QString &nameField)
{
    std::vector<NamedEntry> entries;
    for (table.first(); !table.eof(); table.next())
        entries.push_back({table.asInteger(idField), table.asString(nameField)});
    return entries;
}

// Adds one way of holding to the entry of `id`, made at its first mention.
void addSource(std::vector<HeldBy> &held, int id, const QString &name, int groupId,
               const QMap<int, QString> &groupNames)
{
    auto entry = std::find_if(held.begin(), held.end(), [id](const HeldBy &h) { return h.id == id; });
    if (entry == held.end())
        entry = held.insert(held.end(), HeldBy{id, name, false, {}});
    if (groupId == RightSource::Directly) {
        entry->direct = true;
        return;
    }
    const QString group = groupNames.value(groupId);
    if (!entry->groups.contains(group))
        entry->groups.append(group);
}

} // namespace

EffectiveRights::EffectiveRights(const QString &databaseName)
    : m_databaseName(databaseName), m_database(dbe::Session::instance().database(databaseName))
{
}

EffectiveRights::~EffectiveRights() = default;

std::vector<UserEntry> EffectiveRights::users()
{
    Cursor users(m_databaseName, tables::Users, indexes::UserName);
    return reading(*m_database, [&] {
        std::vector<UserEntry> entries;
        for (users.first(); !users.eof(); users.next()) {
            entries.push_back({users.asInteger(fields::UserId), users.asString(fields::UserName),
                               users.asBoolean(fields::UserEnabled),
                               users.asBoolean(fields::UserAdmin),
                               users.asString(fields::UserDef1), users.asString(fields::UserDef2),
                               users.asDateTime(fields::UserLastAccess),
                               users.value(fields::UserAccessCount)});
        }
        return entries;
    });
}

std::vector<NamedEntry> EffectiveRights::constants()
{
    Cursor constants(m_databaseName, tables::Access);
    return reading(*m_database,
                   [&] { return entriesOf(constants, fields::AccessId, fields::AccessName); });
}

std::vector<NamedEntry> EffectiveRights::groups()
{
    Cursor groups(m_databaseName, tables::Groups);
    return reading(*m_database,
                   [&] { return entriesOf(groups, fields::GroupId, fields::GroupName); });
}

std::vector<int> EffectiveRights::usersNamed(const QString &name)
{
    // Through the name index, which the logon looks names up by.
    Cursor users(m_databaseName, tables::Users, indexes::UserName);
    return reading(*m_database, [&] {
        std::vector<int> ids;
        users.setRange({name}, {name});
        for (users.first(); !users.eof(); users.next())
            ids.push_back(users.asInteger(fields::UserId));
        return ids;
    });
}

std::optional<NamedEntry> EffectiveRights::constant(const QString &nameOrId)
{
    bool isNumber = false;
    const int id = nameOrId.toInt(&isNumber);
    for (const NamedEntry &entry : constants()) {
        if (isNumber ? entry.id == id : sameTextCaseBlind(entry.name, nameOrId))
            return entry;
    }
    return std::nullopt;
}

std::vector<NamedEntry> EffectiveRights::groupsNamed(const QString &name)
{
    std::vector<NamedEntry> found;
    for (const NamedEntry &entry : groups()) {
        if (sameTextCaseBlind(entry.name, name))
            found.push_back(entry);
    }
    return found;
}

std::vector<HeldBy> EffectiveRights::rightsOf(int userId)
{
    Cursor rights(m_databaseName, tables::UserAcc);
    Cursor members(m_databaseName, tables::GrpColl);
    Cursor constants(m_databaseName, tables::Access);
    Cursor groups(m_databaseName, tables::Groups);
    return reading(*m_database, [&] {
        const QMap<int, QString> constantNames =
            namesOf(constants, fields::AccessId, fields::AccessName);
        const QMap<int, QString> groupNames = namesOf(groups, fields::GroupId, fields::GroupName);
        std::vector<HeldBy> held;
        for (const RightSource &source : rightSources(rights, members, userId))
            addSource(held, source.accessId, constantNames.value(source.accessId),
                      source.groupId, groupNames);
        std::sort(held.begin(), held.end(),
                  [](const HeldBy &a, const HeldBy &b) { return a.id < b.id; });
        return held;
    });
}

std::vector<HeldBy> EffectiveRights::holdersOf(int accessId)
{
    Cursor users(m_databaseName, tables::Users, indexes::UserName);
    Cursor rights(m_databaseName, tables::UserAcc);
    Cursor members(m_databaseName, tables::GrpColl);
    Cursor groups(m_databaseName, tables::Groups);
    return reading(*m_database, [&] {
        const QMap<int, QString> groupNames = namesOf(groups, fields::GroupId, fields::GroupName);
        std::vector<HeldBy> holders;
        for (users.first(); !users.eof(); users.next()) {
            // A disabled user cannot log on, and a row the kit did not number logs nobody on.
            if (!users.asBoolean(fields::UserEnabled) ||
                !isUserRowId(users.value(fields::UserId).toLongLong()))
                continue;
            const int userId = users.asInteger(fields::UserId);
            for (const RightSource &source : rightSources(rights, members, userId)) {
                if (source.accessId == accessId)
                    addSource(holders, userId, users.asString(fields::UserName), source.groupId,
                              groupNames);
            }
        }
        return holders;
    });
}

} // namespace security
