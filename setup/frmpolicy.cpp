#include "setup/frmpolicy.h"

#include "dbe/table.h"
#include "rules/logonpolicy.h"
#include "rules/schema.h"
#include "ui/engineerror.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox *countBox(const QString &name, int maximum, const QString &zeroText)
{
    auto *box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(0, maximum);
    box->setSpecialValueText(zeroText);
    return box;
}

QString lockText(const QString &alias, const QString &userName)
{
    dbe::Table users;
    users.setDatabaseName(alias);
    users.setTableName(security::tables::Users);
    users.setIndexName(security::indexes::UserName);
    users.open();
    if (!users.findKey({userName}))
        return {};
    const security::LockState state =
        security::lockStateOf(alias, users.asInteger(security::fields::UserId));
    if (!state.locked)
        return QStringLiteral("%1: not locked (%2 wrong passwords)")
            .arg(userName)
            .arg(state.failures);
    if (!state.until.isValid())
        return QStringLiteral("%1: locked until unlocked").arg(userName);
    return QStringLiteral("%1: locked until %2")
        .arg(userName, QLocale().toString(state.until, QLocale::ShortFormat));
}

} // namespace

TFormPolicy::TFormPolicy(const QString &alias, const QString &userName, QWidget *owner)
    : QDialog(owner), m_alias(alias), m_userName(userName)
{
    setObjectName(QStringLiteral("FormPolicy"));
    setWindowTitle(QStringLiteral("Logon Policy"));
    formkit::applyDialogFont(this, formkit::Weight::Regular);

    m_lockoutAfter = countBox(QStringLiteral("spinLockoutAfter"), 999, QStringLiteral("never"));
    m_lockoutMinutes = countBox(QStringLiteral("spinLockoutMinutes"), 99999, QStringLiteral("0"));
    m_permanentAfter = countBox(QStringLiteral("spinPermanentAfter"), 999, QStringLiteral("never"));
    m_logFailed = new QCheckBox(QStringLiteral("&Audit failed logons, lockouts and unlocks"));
    m_logFailed->setObjectName(QStringLiteral("chkLogFailed"));

    auto *lockout = new QGroupBox(QStringLiteral("Lockout"));
    auto *form = new QFormLayout(lockout);
    form->addRow(QStringLiteral("Lock after &wrong passwords:"), m_lockoutAfter);
    form->addRow(QStringLiteral("Lock for &minutes:"), m_lockoutMinutes);
    form->addRow(QStringLiteral("Lock for &good at lockout:"), m_permanentAfter);
    form->addRow(m_logFailed);
    auto *note = new QLabel(QStringLiteral("The supervisor is never locked out."));
    form->addRow(note);

    auto *unlockBox = new QGroupBox(QStringLiteral("Selected user"));
    auto *unlockRow = new QHBoxLayout(unlockBox);
    m_lockState =
        new QLabel(userName.isEmpty() ? QStringLiteral("No user is selected.") : QString());
    m_lockState->setObjectName(QStringLiteral("lblLockState"));
    m_unlock = new QPushButton(QStringLiteral("&Unlock"));
    m_unlock->setObjectName(QStringLiteral("btnUnlock"));
    m_unlock->setEnabled(!userName.isEmpty());
    m_unlock->setAccessibleName(QStringLiteral("Unlock the selected user"));
    unlockRow->addWidget(m_lockState, 1);
    unlockRow->addWidget(m_unlock);
    connect(m_unlock, &QPushButton::clicked, this, &TFormPolicy::unlockClick);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormPolicy::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TFormPolicy::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lockout);
    layout->addWidget(unlockBox);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ui::runGuarded(this, [this] {
        const security::LogonPolicy policy = security::readLogonPolicy(m_alias);
        m_lockoutAfter->setValue(policy.lockoutAfter);
        m_lockoutMinutes->setValue(policy.lockoutMinutes);
        m_permanentAfter->setValue(policy.permanentAfter);
        m_logFailed->setChecked(policy.logFailed);
        if (!m_userName.isEmpty())
            m_lockState->setText(lockText(m_alias, m_userName));
    });
}

void TFormPolicy::accept()
{
    const security::LogonPolicy wanted{m_lockoutAfter->value(), m_lockoutMinutes->value(),
                                       m_permanentAfter->value(), m_logFailed->isChecked()};
    const bool written = ui::runGuarded(this, [&] {
        if (security::readLogonPolicy(m_alias) != wanted)
            security::writeLogonPolicy(m_alias, wanted);
    });
    if (written)
        QDialog::accept();
}

void TFormPolicy::unlockClick()
{
    ui::runGuarded(this, [this] {
        const security::Unlock result = security::unlockUser(m_alias, m_userName);
        ui::showInformation(this, result == security::Unlock::Unlocked
                                      ? QStringLiteral("%1 is unlocked.").arg(m_userName)
                                      : QStringLiteral("%1 was not locked.").arg(m_userName));
        m_lockState->setText(lockText(m_alias, m_userName));
    });
}
