// The access test: does the logged-on user hold an access constant, directly or through one
// of his groups.

#include "dbe/error.h"
#include "dbe/table.h"
#include "security/core/logging.h"
#include "security/core/schema.h"
#include "security/vesksec2.h"
#include "ui/messages.h"

namespace {

// Keeps the cursor to one user's rows only while the walk runs. The range names the user id
// alone, which holds exactly his rows without the id after his (which the largest id has not).
class UserRange
{
public:
    UserRange(dbe::Table &rights, int userId) : m_rights(rights)
    {
        m_rights.setRange({userId}, {userId});
    }
    ~UserRange()
    {
        try {
            m_rights.cancelRange();
        } catch (const std::exception &error) {
            // The next test sets its own range or key; the walk's failure, if any, is on its
            // way to the host already.
            qCInfo(security::lcSecurity).noquote()
                << "leaving the range of the rights table failed:" << error.what();
        }
    }
    UserRange(const UserRange &) = delete;
    UserRange &operator=(const UserRange &) = delete;

private:
    dbe::Table &m_rights;
};

bool grantedThroughGroup(dbe::Table &rights, dbe::Table &members, int userId, int accessId)
{
    // Setting the range already puts the cursor on the user's first row; a first() would
    // only fetch it again.
    const UserRange range(rights, userId);
    for (; !rights.eof(); rights.next()) {
        // Compared exactly: a lower-case "g" names no group.
        if (rights.asString(security::fields::RightType) != security::RightGroup)
            continue;
        if (members.findKey({rights.asInteger(security::fields::AccessId), accessId}))
            return true;
    }
    return false;
}

bool holdsRight(dbe::Table &rights, dbe::Table &members, int userId, int accessId)
{
    return rights.findKey({userId, accessId, security::RightConstant}) ||
           grantedThroughGroup(rights, members, userId, accessId);
}

} // namespace

bool TVeskSecure::HasAccess(int accessId)
{
    if (m_userId == security::SupervisorId)
        return true;
    if (m_userId < 0 || !m_userAccTable || !m_grpCollTable)
        return false;
    // A host asks this to enable its menus; an engine failure there must not end the host, so it
    // counts as "not held" and leaves its reason in the trace.
    try {
        return holdsRight(*m_userAccTable, *m_grpCollTable, m_userId, accessId);
    } catch (const dbe::Error &error) {
        qCInfo(security::lcSecurity).noquote() << "reading the rights failed:" << error.text();
        return false;
    }
}

bool TVeskSecure::testAccess(int accessId)
{
    if (m_userId == security::SupervisorId)
        return true;
    if (m_userId < 0) {
        if (GetShowUI())
            ui::showError(nullptr, QStringLiteral("No user is logged into the security."));
        return false;
    }
    // A component created in code and never loaded has no tables to test against. It refuses
    // rather than open tables of its own, so that a forgotten Loaded() shows at once.
    if (!m_userAccTable || !m_grpCollTable) {
        if (GetShowUI())
            ui::showError(nullptr, QStringLiteral("Access cannot be tested: security has not been "
                                                  "activated for this application."));
        return false;
    }

    const bool granted = holdsRight(*m_userAccTable, *m_grpCollTable, m_userId, accessId);
    // A grant whose log row cannot be written fails with the engine's error: the audit trail
    // never misses a grant that was used.
    if (granted && m_logTable)
        appendLogRow(accessId, false);
    if (!granted && GetShowUI())
        ui::showError(nullptr, QStringLiteral("Access is denied.  Please see your administrator "
                                              "to gain access to this feature."));
    return granted;
}
