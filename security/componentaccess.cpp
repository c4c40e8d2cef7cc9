// The access test: does the logged-on user hold an access constant, directly or through one
// of his groups.

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/table.h"
#include "rules/accessrule.h"
#include "rules/logging.h"
#include "rules/schema.h"
#include "security/componentfailure.h"
#include "security/heldrights.h"
#include "security/vesksec2_p.h"
#include "ui/messages.h"

bool TVeskSecurePrivate::holdsRight(int accessId)
{
    // The kept rights answer whenever nobody has committed to the rights since they were read,
    // and are read again when somebody has. Inside a transaction of this connection (a setup
    // editor of the same process in the middle of a change) the tables answer, as they show
    // what it has written so far.
    if (m_rightsDatabase && !m_rightsDatabase->inTransaction() && m_heldRights->storageWatches()) {
        if (const std::optional<bool> kept = m_heldRights->answer(m_userId, accessId))
            return *kept;
        if (m_heldRights->reload(*m_rightsDatabase, m_userId))
            return m_heldRights->held(accessId);
    }
    if (m_rightsDatabase)
        m_rightsDatabase->followReplacedFiles(security::accessTestTables());
    return security::holdsAccess(*m_userAccTable, *m_grpCollTable, m_userId, accessId);
}

bool TVeskSecure::HasAccess(int accessId)
{
    return d->hasAccess(accessId);
}

bool TVeskSecurePrivate::hasAccess(int accessId)
{
    m_lastError.clear();
    if (m_userId == security::SupervisorId)
        return true;
    if (m_userId < 0 || !m_userAccTable || !m_grpCollTable)
        return false;
    // A host asks this to enable its menus; an engine failure there must not end the host, so it
    // counts as "not held", quietly, and leaves its reason in LastError and the trace.
    try {
        return holdsRight(accessId);
    } catch (...) {
        m_lastError = security::failureText(std::current_exception());
        qCInfo(security::lcSecurity).noquote() << "reading the rights failed:" << m_lastError;
        return false;
    }
}

bool TVeskSecurePrivate::testAccess(int accessId)
{
    if (m_userId == security::SupervisorId)
        return true;
    if (m_userId < 0) {
        if (q->GetShowUI())
            ui::showError(nullptr, QStringLiteral("No user is logged into the security."));
        return false;
    }
    // A component created in code and never loaded has no tables to test against. It refuses
    // rather than open tables of its own, so that a forgotten Loaded() shows at once.
    if (!m_userAccTable || !m_grpCollTable) {
        if (q->GetShowUI())
            ui::showError(nullptr, QStringLiteral("Access cannot be tested: security has not been "
                                                  "activated for this application."));
        return false;
    }

    const bool granted = holdsRight(accessId);
    // A grant whose log row cannot be written fails with the engine's error: the audit trail
    // never misses a grant that was used.
    if (granted && m_logTable) {
        m_logDatabase->followReplacedFiles({security::tables::Log});
        appendLogRow(accessId, false);
    }
    if (!granted && q->GetShowUI())
        ui::showError(nullptr, QStringLiteral("Access is denied.  Please see your administrator "
                                              "to gain access to this feature."));
    return granted;
}
