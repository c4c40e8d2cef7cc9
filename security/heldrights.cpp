#include "security/heldrights.h"

#include "dbe/changewatch.h"
#include "dbe/database.h"
#include "dbe/table.h"
#include "rules/accessrule.h"
#include "rules/logging.h"
#include "rules/schema.h"

#include <algorithm>

namespace {
std::function<void()> &afterWatchHook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

void HeldRights::setAfterWatchHook(std::function<void()> hook)
{
    afterWatchHook() = std::move(hook);
}

HeldRights::HeldRights() = default;
HeldRights::~HeldRights() = default;

std::optional<bool> HeldRights::answer(int userId, int accessId) const
{
    if (!m_watch || userId != m_userId || !m_watch->unchanged())
        return std::nullopt;
    return std::binary_search(m_accessIds.cbegin(), m_accessIds.cend(), accessId);
}

void HeldRights::clear()
{
    m_watch.reset();
    m_accessIds.clear();
    m_userId = -1;
    m_storageWatches = true;
}

bool HeldRights::reload(dbe::Database &database, dbe::Table &rights, dbe::Table &members,
                        int userId)
{
    m_watch.reset();
    m_accessIds.clear();
    m_userId = -1;
    if (database.inTransaction())
        return false;

    // A table restored under its name is read from the restored file, as a new process would.
    database.followReplacedFiles(security::accessTestTables());
    dbe::Transaction transaction(database);
    // Taken before the reads, so that they are no older than the watch.
    std::unique_ptr<dbe::ChangeWatch> watch = database.watchChanges(security::accessTestTables());
    if (!watch) {
        transaction.commit();
        m_storageWatches = false;
        qCInfo(security::lcSecurity)
            << "access tests read the rights tables at each call: the storage cannot watch them "
               "for changes (a file in WAL mode or on a network filesystem, or a server schema "
               "without change counts)";
        return false;
    }
    if (afterWatchHook())
        afterWatchHook()();
    std::vector<int> accessIds = security::heldAccessIds(rights, members, userId);
    transaction.commit();

    m_accessIds = std::move(accessIds);
    m_watch = std::move(watch);
    m_userId = userId;
    return true;
}
