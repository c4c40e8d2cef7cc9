#include "rules/accessrule.h"

#include "dbe/table.h"
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

} // namespace security
