#pragma once

// The component's state and the operations behind its public entries. Not installed: hosts see
// only the pointer to it, so anything may be added here without breaking a host's build.

#include "security/vesksec2.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace dbe {
class Database;
class Table;
} // namespace dbe
class HeldRights;

class TVeskSecurePrivate
{
public:
    explicit TVeskSecurePrivate(TVeskSecure *component);
    ~TVeskSecurePrivate();
    TVeskSecurePrivate(const TVeskSecurePrivate &) = delete;
    TVeskSecurePrivate &operator=(const TVeskSecurePrivate &) = delete;

    static TVeskSecurePrivate *get(const TVeskSecure &component) { return component.d.get(); }

    TVeskSecure *const q;

    // Runs a public operation: clears LastError, and turns an engine failure into false.
    bool guarded(const std::function<bool()> &operation);
    // Logs the failure, keeps its text for LastError and hands `shown` to the handler or a box.
    void reportFailure(const QString &engineText, const QString &shown);

    // The operations themselves; they throw on engine failures, so that activation can tell
    // a failed logon from a refused one.
    bool logonWithDialog();
    bool logonWithName(const QString &userName, const QString &password);
    bool logonFromNetwork();
    bool testAccess(int accessId);
    bool changePassword();
    bool openSetup();

    void requestTermination();
    // A component whose activation failed refuses to log anybody on or to test access: the
    // host was told to end, and must not run unprotected if it carries on.
    QString activationFailedText() const;
    void refuseWhenActivationFailed() const;
    void logOff();
    // Shared by the logon operations: USERS.DB opened on "UserName" for the length of one logon
    // (null, after reporting the failure, when it cannot be opened), the user state from the
    // row, and the supervisor's state.
    std::unique_ptr<dbe::Table> openUsersByName();
    void takeUserFromRow(const dbe::Table &users);
    void becomeSupervisor();
    // The logon's writes, the count and time in the user's row (none for the supervisor, who
    // has no row) and the log row, commit together or not at all; when they fail nobody is
    // logged on and the failure goes on to the caller.
    void recordLogon(dbe::Table *users);
    // Appends a row to the activity log; a row that cannot be written is dropped, never left
    // pending to be written with a later one.
    void appendLogRow(int accessId, bool isLogon);
    // Whether the logged-on user holds the constant, directly or through a group. Throws.
    bool holdsRight(int accessId);
    // Activation (Loaded) and HasAccess.
    void activate();
    bool hasAccess(int accessId);

    QString m_alias;
    QString m_password;
    TSecurityOptions m_options;
    bool m_designing = false;
    bool m_terminationRequested = false;

    int m_userId = -1;
    QString m_userName;
    QString m_currentPassword;
    QString m_userDef1;
    QString m_userDef2;
    QDateTime m_lastAccess;
    int m_accessCount = 0;
    bool m_isAdmin = false;

    TVeskSecure::ErrorHandler m_errorHandler;
    QString m_lastError;
    QString m_activationError; // the failure that ended activation; empty when it did not fail

    std::unique_ptr<dbe::Table> m_grpCollTable;
    std::unique_ptr<dbe::Table> m_userAccTable;
    std::unique_ptr<dbe::Table> m_logTable;
    std::shared_ptr<dbe::Database> m_rightsDatabase;
    std::shared_ptr<dbe::Database> m_logDatabase;
    std::unique_ptr<HeldRights> m_heldRights;
};

namespace security {

// The tables the component holds open from activation on, for tests and benchmarks; null before
// it (and the log while logging is off).
dbe::Table *grpCollTable(const TVeskSecure &component);
dbe::Table *userAccTable(const TVeskSecure &component);
dbe::Table *logTable(const TVeskSecure &component);

} // namespace security
