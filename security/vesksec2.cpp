#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/logging.h"
#include "rules/schema.h"
#include "security/componentfailure.h"
#include "security/heldrights.h"
#include "security/vesksec2_p.h"
#include "ui/messages.h"

#include <QCoreApplication>
#include <QWidget>

namespace {

const QString DisabledMessage = QStringLiteral("Security for this application has been disabled.");
const QString InitFailedMessage =
    QStringLiteral("Error occured initializing security. Execution Ending.");

std::unique_ptr<dbe::Table> openTable(const QString &alias, const QString &name)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(alias);
    table->setTableName(name);
    table->open();
    return table;
}

} // namespace

QString security::failureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const dbe::Error &error) {
        return error.text();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("a failure of unknown kind");
    }
}

TVeskSecurePrivate::TVeskSecurePrivate(TVeskSecure *component)
    : q(component), m_options{soAutoValidate, soShowUI},
      m_heldRights(std::make_unique<HeldRights>())
{
}

TVeskSecurePrivate::~TVeskSecurePrivate()
{
    // The log first, then the two tables of the access test, as they were opened.
    m_logTable.reset();
    m_heldRights->clear();
    if (m_grpCollTable && m_userAccTable) {
        m_grpCollTable.reset();
        m_userAccTable.reset();
    }
}

TVeskSecure::TVeskSecure(QObject *owner)
    : QObject(owner), d(std::make_unique<TVeskSecurePrivate>(this))
{
}

TVeskSecure::~TVeskSecure() = default;

QString TVeskSecure::Alias() const
{
    return d->m_alias;
}

void TVeskSecure::SetAlias(const QString &alias)
{
    d->m_alias = alias;
}

QString TVeskSecure::Password() const
{
    return d->m_password;
}

void TVeskSecure::SetPassword(const QString &password)
{
    d->m_password = password;
}

TSecurityOptions TVeskSecure::Options() const
{
    return d->m_options;
}

void TVeskSecure::SetOptions(TSecurityOptions options)
{
    d->m_options = options;
}

bool TVeskSecure::GetActive() const
{
    return d->m_userId >= 0;
}

bool TVeskSecure::GetShowUI() const
{
    return d->m_options.contains(soShowUI);
}

int TVeskSecure::UserID() const
{
    return d->m_userId;
}

QString TVeskSecure::CurrentUserName() const
{
    return d->m_userName;
}

QString TVeskSecure::CurrentPassword() const
{
    return d->m_currentPassword;
}

QString TVeskSecure::UserDef1() const
{
    return d->m_userDef1;
}

QString TVeskSecure::UserDef2() const
{
    return d->m_userDef2;
}

QDateTime TVeskSecure::LastAccess() const
{
    return d->m_lastAccess;
}

int TVeskSecure::AccessCount() const
{
    return d->m_accessCount;
}

bool TVeskSecure::IsAdmin() const
{
    return d->m_isAdmin;
}

void TVeskSecure::SetDesigning(bool designing)
{
    d->m_designing = designing;
}

bool TVeskSecure::Designing() const
{
    return d->m_designing;
}

bool TVeskSecure::TerminationRequested() const
{
    return d->m_terminationRequested;
}

void TVeskSecure::setErrorHandler(ErrorHandler handler)
{
    d->m_errorHandler = std::move(handler);
}

QString TVeskSecure::LastError() const
{
    return d->m_lastError;
}

dbe::Table *security::grpCollTable(const TVeskSecure &component)
{
    return TVeskSecurePrivate::get(component)->m_grpCollTable.get();
}

dbe::Table *security::userAccTable(const TVeskSecure &component)
{
    return TVeskSecurePrivate::get(component)->m_userAccTable.get();
}

dbe::Table *security::logTable(const TVeskSecure &component)
{
    return TVeskSecurePrivate::get(component)->m_logTable.get();
}

void TVeskSecure::SetActive(bool active)
{
    if (!active && GetActive())
        d->logOff();
}

void TVeskSecure::SetShowUI(bool show)
{
    if (show)
        d->m_options.include(soShowUI);
    else
        d->m_options.exclude(soShowUI);
}

void TVeskSecurePrivate::logOff()
{
    m_heldRights->clear();
    m_userId = -1;
    m_userName.clear();
    m_currentPassword.clear();
    m_userDef1.clear();
    m_userDef2.clear();
    m_lastAccess = QDateTime();
    m_accessCount = 0;
    m_isAdmin = false;
}

void TVeskSecurePrivate::requestTermination()
{
    m_terminationRequested = true;
    // Queued, so that a host still building its window ends as soon as it reaches exec().
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TVeskSecure::Loaded()
{
    d->activate();
}

void TVeskSecurePrivate::activate()
{
    if (m_designing)
        return;
    QWidget *dialogParent = qobject_cast<QWidget *>(q->parent());
    m_lastError.clear();
    try {
        dbe::Session::instance().addPassword(m_password);
        m_grpCollTable = openTable(m_alias, security::tables::GrpColl);
        m_userAccTable = openTable(m_alias, security::tables::UserAcc);
        m_rightsDatabase = dbe::Session::instance().database(m_userAccTable->databaseName());
        m_heldRights->clear();

        std::unique_ptr<dbe::Table> settings = openTable(m_alias, security::tables::Program);
        settings->first();
        if (!settings->asBoolean(security::fields::Enabled)) {
            if (q->GetShowUI())
                ui::showError(dialogParent, DisabledMessage);
            settings.reset();
            requestTermination();
            return;
        }
        if (settings->asBoolean(security::fields::LogEnabled)) {
            m_logTable = openTable(m_alias, security::tables::Log);
            m_logDatabase = dbe::Session::instance().database(m_logTable->databaseName());
        }
        settings.reset();

        if (m_options.contains(soAutoValidate)) {
            const bool network =
                m_options.contains(soWinNetSupport) || m_options.contains(soNetwareSupport);
            const bool loggedOn = (network && logonFromNetwork()) || logonWithDialog();
            if (!loggedOn)
                requestTermination();
        }
    } catch (...) {
        // Whatever failed, the host must not run unprotected: should it carry on regardless,
        // nobody logs on (a half-opened component would grant access and log nothing).
        logOff();
        m_activationError = security::failureText(std::current_exception());
        reportFailure(m_activationError, InitFailedMessage);
        requestTermination();
    }
}

QString TVeskSecurePrivate::activationFailedText() const
{
    return QStringLiteral("Security could not be activated for this application, so nobody can "
                          "log on: %1")
        .arg(m_activationError);
}

void TVeskSecurePrivate::refuseWhenActivationFailed() const
{
    if (!m_activationError.isEmpty())
        throw dbe::Error(activationFailedText(), dbe::Error::WrongState);
}

bool TVeskSecurePrivate::guarded(const std::function<bool()> &operation)
{
    m_lastError.clear();
    try {
        return operation();
    } catch (...) {
        // The old framework's default handler showed the engine's text and carried on; a host
        // without a try/catch of its own must not be ended by a damaged table.
        const QString text = security::failureText(std::current_exception());
        reportFailure(text, text);
        return false;
    }
}

void TVeskSecurePrivate::reportFailure(const QString &engineText, const QString &shown)
{
    m_lastError = engineText;
    qCInfo(security::lcSecurity).noquote()
        << "on the alias" << m_alias << "the engine failed:" << engineText;
    if (m_errorHandler)
        m_errorHandler(shown);
    else
        ui::showError(qobject_cast<QWidget *>(q->parent()), shown);
}

bool TVeskSecure::Logon()
{
    return d->guarded([this] { return d->logonWithDialog(); });
}

bool TVeskSecure::LogonEx(const QString &userName, const QString &password)
{
    return d->guarded([&] { return d->logonWithName(userName, password); });
}

bool TVeskSecure::NWLogon()
{
    return d->guarded([this] { return d->logonFromNetwork(); });
}

bool TVeskSecure::TestAccess(int accessId)
{
    return d->guarded([this, accessId] { return d->testAccess(accessId); });
}

bool TVeskSecure::ChangePassword()
{
    return d->guarded([this] { return d->changePassword(); });
}

bool TVeskSecure::Setup()
{
    return d->guarded([this] { return d->openSetup(); });
}
