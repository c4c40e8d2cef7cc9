#pragma once

// The security component a host application owns: it logs a user on, answers whether the user
// holds an access constant, keeps the activity log, lets the user change the password and lets
// administrators open the setup editor.

#include "vesksecure2_export.h"

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>

namespace dbe {
class Database;
class Table;
} // namespace dbe
class HeldRights;

enum TSecurityOption : quint8 {
    soAutoValidate = 0,   // activation logs a user on and ends the host if that fails
    soCaseSensitive = 1,  // the logon dialog compares supervisor and user passwords exactly
    soShowUI = 2,         // refusals are also shown in message boxes
    soNetwareSupport = 3, // network logon may take the NetWare connection's user name
    soWinNetSupport = 4,  // network logon may take the workstation's network user name
};

// A set of options held in one byte, bit n standing for the option with ordinal n.
class VESKSECURE2_EXPORT TSecurityOptions
{
public:
    constexpr TSecurityOptions() = default;
    constexpr TSecurityOptions(std::initializer_list<TSecurityOption> options)
    {
        for (TSecurityOption option : options)
            m_bits = quint8(m_bits | (1u << option));
    }
    static constexpr TSecurityOptions fromByte(quint8 bits)
    {
        TSecurityOptions options;
        options.m_bits = bits;
        return options;
    }

    constexpr quint8 toByte() const { return m_bits; }
    constexpr bool contains(TSecurityOption option) const { return m_bits & (1u << option); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr TSecurityOptions &include(TSecurityOption option)
    {
        m_bits = quint8(m_bits | (1u << option));
        return *this;
    }
    constexpr TSecurityOptions &exclude(TSecurityOption option)
    {
        m_bits = quint8(m_bits & ~(1u << option));
        return *this;
    }
    constexpr bool operator==(const TSecurityOptions &) const = default;

private:
    quint8 m_bits = 0;
};

Q_DECLARE_METATYPE(TSecurityOptions)

class VESKSECURE2_EXPORT TVeskSecure : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString Alias READ Alias WRITE SetAlias)
    Q_PROPERTY(QString Password READ Password WRITE SetPassword)
    Q_PROPERTY(TSecurityOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool Active READ GetActive WRITE SetActive)
    Q_PROPERTY(bool ShowUI READ GetShowUI WRITE SetShowUI)
    Q_PROPERTY(int UserID READ UserID)
    Q_PROPERTY(QString CurrentUserName READ CurrentUserName)
    Q_PROPERTY(QString CurrentPassword READ CurrentPassword)
    Q_PROPERTY(QString UserDef1 READ UserDef1)
    Q_PROPERTY(QString UserDef2 READ UserDef2)
    Q_PROPERTY(QDateTime LastAccess READ LastAccess)
    Q_PROPERTY(int AccessCount READ AccessCount)
    Q_PROPERTY(bool IsAdmin READ IsAdmin)

public:
    // Options start as [soAutoValidate, soShowUI] and nobody is logged on; nothing is opened
    // until Loaded().
    explicit TVeskSecure(QObject *owner = nullptr);
    ~TVeskSecure() override;

    QString Alias() const { return m_alias; }
    void SetAlias(const QString &alias) { m_alias = alias; }
    QString Password() const { return m_password; }
    void SetPassword(const QString &password) { m_password = password; }
    TSecurityOptions Options() const { return m_options; }
    void SetOptions(TSecurityOptions options) { m_options = options; }

    // True while a user is logged on. Setting false logs the user off; setting true does nothing.
    bool GetActive() const { return m_userId >= 0; }
    void SetActive(bool active);
    bool Active() const { return GetActive(); }
    bool GetShowUI() const { return m_options.contains(soShowUI); }
    void SetShowUI(bool show);
    bool ShowUI() const { return GetShowUI(); }

    // The logged-on user; -1, empty texts, 0 and false while nobody is.
    int UserID() const { return m_userId; }
    QString CurrentUserName() const { return m_userName; }
    QString CurrentPassword() const { return m_currentPassword; }
    QString UserDef1() const { return m_userDef1; }
    QString UserDef2() const { return m_userDef2; }
    QDateTime LastAccess() const { return m_lastAccess; }
    int AccessCount() const { return m_accessCount; }
    bool IsAdmin() const { return m_isAdmin; }

    // The tables held open from activation on; null before it (and LogTable while logging is off).
    dbe::Table *GrpCollTable() const { return m_grpCollTable.get(); }
    dbe::Table *UserAccTable() const { return m_userAccTable.get(); }
    dbe::Table *LogTable() const { return m_logTable.get(); }

    // A component inside a form designer opens nothing when loaded.
    void SetDesigning(bool designing) { m_designing = designing; }
    bool Designing() const { return m_designing; }

    // Activation. A host calls it once its main window is built, after setting the properties:
    // it opens the security tables, checks that security is enabled and, with soAutoValidate,
    // logs a user on. When it ends the host it asks the application to quit through the event
    // loop; TerminationRequested() then tells the host not to show its window.
    void Loaded();
    bool TerminationRequested() const { return m_terminationRequested; }

    // Logon. Each returns true when a user was logged on.
    bool Logon();
    bool Login() { return Logon(); }
    bool LogonEx(const QString &userName, const QString &password);
    bool NWLogon();
    QString GetWindowsUserName() const;
    QString GetNetwareUserName() const;

    // True when the logged-on user holds the access constant, directly or through a group (the
    // supervisor holds every one). Call it when the user invokes a feature: a grant is written to
    // the activity log when logging is on, and with soShowUI a refusal is shown in a message box.
    bool TestAccess(int accessId);

    // The same fresh answer as TestAccess, read from the tables at each call, but silent: no row
    // of the activity log and no message box. For enabling menus and buttons; a failure to read
    // the rights answers false.
    bool HasAccess(int accessId);

    // Lets the logged-on user replace the password; true when a new one was stored.
    bool ChangePassword();
    bool PasswordChange() { return ChangePassword(); }

    // Opens the setup editor for an administrator; true once it has been closed.
    bool Setup();

    // Engine failures. No operation lets an exception out to the host: when the database engine
    // fails (a damaged table, a full disk, a table another workstation holds too long), the
    // operation answers false, leaves the engine's text in the log category "vesk.security" and
    // shows it in an error box. A host that must never block on a box installs a handler, which
    // then gets the text instead of the box; an empty handler brings the box back.
    using ErrorHandler = std::function<void(const QString &text)>;
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }
    // The engine's text of the failure that ended the last operation; empty when the last
    // operation ended without one (a refusal is no failure).
    QString LastError() const { return m_lastError; }

private:
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

    ErrorHandler m_errorHandler;
    QString m_lastError;
    QString m_activationError; // the failure that ended activation; empty when it did not fail

    std::unique_ptr<dbe::Table> m_grpCollTable;
    std::unique_ptr<dbe::Table> m_userAccTable;
    std::unique_ptr<dbe::Table> m_logTable;
    std::shared_ptr<dbe::Database> m_rightsDatabase;
    std::shared_ptr<dbe::Database> m_logDatabase;
    std::unique_ptr<HeldRights> m_heldRights;
};
