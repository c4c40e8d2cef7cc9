#include "rules/accessrule.h"

#include "dbe/backend.h"
#include "dbe/table.h"
#include "dbe/error.h"
#include "rules/rangeguard.h"
#include "rules/schema.h"

#include <algorithm>

namespace security {

namespace {

enum class RightKind { Constant, Group, None };

// Compared exactly: a lower-case "g" names no group.
RightKind kindOf(const dbe::Table &rights)
{
    const QString type = rights.asString(fields::RightType);
    if (type == RightConstant)
        return RightKind::Constant;
    if (type == RightGroup)
        return RightKind::Group;
    return RightKind::None;
}

} // namespace

bool holdsAccess(dbe::Table &rights, dbe::Table &members, int userId, int accessId)
{
    if (rights.findKey({userId, accessId, RightConstant}))
        return true;
    // Setting the range already puts the cursor on the user's first row.
    const RangeGuard range(rights, userId);
    for (; !rights.eof(); rights.next()) {
        if (kindOf(rights) == RightKind::Group &&
            members.findKey({rights.asInteger(fields::AccessId), accessId}))
            return true;
    }
    return false;
}

std::vector<RightSource> rightSources(dbe::Table &rights, dbe::Table &members, int userId)
{
    std::vector<RightSource> sources;
    std::vector<int> groupIds;
    {
        const RangeGuard range(rights, userId);
        for (; !rights.eof(); rights.next()) {
            switch (kindOf(rights)) {
            case RightKind::Constant:
                sources.push_back({rights.asInteger(fields::AccessId), RightSource::Directly});
                break;
            case RightKind::Group:
                groupIds.push_back(rights.asInteger(fields::AccessId));
                break;
            case RightKind::None:
                break;
            }
        }
    }
    for (const int groupId : groupIds) {
        const RangeGuard range(members, groupId);
        for (; !members.eof(); members.next())
            sources.push_back({members.asInteger(fields::AccessId), groupId});
    }
    return sources;
}

std::vector<int> heldAccessIds(dbe::Table &rights, dbe::Table &members, int userId)
{
    std::vector<int> accessIds;
    for (const RightSource &source : rightSources(rights, members, userId))
        accessIds.push_back(source.accessId);
    std::sort(accessIds.begin(), accessIds.end());
    accessIds.erase(std::unique(accessIds.begin(), accessIds.end()), accessIds.end());
    return accessIds;
}

std::vector<int> heldAccessIds(const QList<QVariantList> &rows)
{
    std::vector<int> accessIds;
    accessIds.reserve(rows.size());
    // Converted as a cursor's asInteger() converts the stored number, blank included.
    for (const QVariantList &row : rows)
        accessIds.push_back(row.value(0).toInt());
    std::sort(accessIds.begin(), accessIds.end());
    accessIds.erase(std::unique(accessIds.begin(), accessIds.end()), accessIds.end());
    return accessIds;
}

QString heldAccessSql(dbe::Backend &backend)
{
    const dbe::TableHandle rights = backend.openTable(tables::UserAcc);
    const dbe::TableHandle members = backend.openTable(tables::GrpColl);
    const auto column = [](const dbe::TableHandle &table, const QString &field) {
        for (int i = 0; i < table.def.fields.size(); ++i) {
            if (table.def.fields[i].name.compare(field, Qt::CaseInsensitive) == 0)
                return table.columns.at(i);
        }
        throw dbe::Error(QStringLiteral("Field '%1' not found.").arg(field),
                         dbe::Error::UnknownField);
    };
    const QString userId = QStringLiteral("r.") + column(rights, fields::UserId);
    const QString granted = QStringLiteral("r.") + column(rights, fields::AccessId);
    const QString type = QStringLiteral("CAST(r.%1 AS TEXT)").arg(column(rights, fields::RightType));
    const QString groupId = QStringLiteral("m.") + column(members, fields::GroupId);
    const QString member = QStringLiteral("m.") + column(members, fields::AccessId);
    // The walk looks a group up by the right's number as a cursor reads it: blank as 0, and a
    // stored number beyond 32 bits cut to its low 32 bits, as asInteger() cuts it.
    const QString groupOfRight =
        QStringLiteral("((COALESCE(%1, 0) + 2147483648) & 4294967295) - 2147483648").arg(granted);
    return QStringLiteral("SELECT %1 FROM %2 r WHERE %3 = %4 AND %5 = %6 UNION ALL SELECT %7 FROM "
                          "%2 r JOIN %8 m ON %9 = %10 WHERE %3 = %4 AND %5 = %11")
        .arg(granted, rights.sqlName, userId, backend.placeholder(1), type,
             backend.placeholder(2), member, members.sqlName, groupId)
        .arg(groupOfRight, backend.placeholder(3));
}

QVariantList heldAccessValues(int userId)
{
    return {qint64(userId), RightConstant, RightGroup};
}

} // namespace security
