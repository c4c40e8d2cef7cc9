#include "security/heldrights.h"

#include "dbe/backend.h"
#include "dbe/changewatch.h"
#include "dbe/database.h"
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
    m_readDatabase = nullptr;
}

bool HeldRights::held(int accessId) const
{
    return std::binary_search(m_accessIds.cbegin(), m_accessIds.cend(), accessId);
}

bool HeldRights::reload(dbe::Database &database, int userId)
{
    // The marks of the old watch stay with the storage until the new one holds them too, so
    // that the kernel's watches are not taken down and set up again at every read.
    const std::unique_ptr<dbe::ChangeWatch> previous = std::move(m_watch);
    m_accessIds.clear();
    m_userId = -1;
    if (database.inTransaction())
        return false;

    // A table restored under its name is read from the restored file, as a new process would.
    database.followReplacedFiles(security::accessTestTables());
    if (m_readDatabase != &database) {
        m_readSql = security::heldAccessSql(database.backend());
        m_readDatabase = &database;
    }
    dbe::WatchedRows read = database.readWatched(
        security::accessTestTables(), m_readSql, security::heldAccessValues(userId),
        previous.get(), afterWatchHook());
    if (!read.watch) {
        m_storageWatches = false;
        qCInfo(security::lcSecurity)
            << "access tests read the rights tables at each call: the storage cannot watch them "
               "for changes (a file in WAL mode or on a network filesystem, or a server schema "
               "without change counts)";
        return false;
    }
    m_accessIds = security::heldAccessIds(read.rows);
    m_watch = std::move(read.watch);
    m_userId = userId;
    return true;
}
