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

class TVeskSecurePrivate;

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
    // Written out rather than defaulted, so that hosts built as C++17 (Qt 6's minimum) can
    // include this header.
    constexpr bool operator==(const TSecurityOptions &other) const
    {
        return m_bits == other.m_bits;
    }
    constexpr bool operator!=(const TSecurityOptions &other) const
    {
        return m_bits != other.m_bits;
    }

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

    QString Alias() const;
    void SetAlias(const QString &alias);
    QString Password() const;
    void SetPassword(const QString &password);
    TSecurityOptions Options() const;
    void SetOptions(TSecurityOptions options);

    // True while a user is logged on. Setting false logs the user off; setting true does nothing.
    bool GetActive() const;
    void SetActive(bool active);
    bool Active() const { return GetActive(); }
    bool GetShowUI() const;
    void SetShowUI(bool show);
    bool ShowUI() const { return GetShowUI(); }

    // The logged-on user; -1, empty texts, 0 and false while nobody is.
    int UserID() const;
    QString CurrentUserName() const;
    QString CurrentPassword() const;
    QString UserDef1() const;
    QString UserDef2() const;
    QDateTime LastAccess() const;
    int AccessCount() const;
    bool IsAdmin() const;

    // A component inside a form designer opens nothing when loaded.
    void SetDesigning(bool designing);
    bool Designing() const;

    // Activation. A host calls it once its main window is built, after setting the properties:
    // it opens the security tables, checks that security is enabled and, with soAutoValidate,
    // logs a user on. When it ends the host it asks the application to quit through the event
    // loop; TerminationRequested() then tells the host not to show its window.
    void Loaded();
    bool TerminationRequested() const;

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
    void setErrorHandler(ErrorHandler handler);
    // The engine's text of the failure that ended the last operation; empty when the last
    // operation ended without one (a refusal is no failure).
    QString LastError() const;

private:
    // All state lives behind this one pointer, so that the class keeps its size and layout for
    // every host built against this header while the component changes inside the library.
    friend class TVeskSecurePrivate;
    std::unique_ptr<TVeskSecurePrivate> d;
};
