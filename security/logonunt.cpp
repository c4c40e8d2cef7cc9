#include "security/logonunt.h"

#include "dbe/error.h"
#include "dbe/table.h"
#include "rules/logonrule.h"
#include "rules/schema.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormLogon *FormLogon = nullptr;

TFormLogon::TFormLogon(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_lblUserName(new QLabel(QStringLiteral("UserName:"), this)),
      m_edUserName(new QLineEdit(this)),
      m_lblUserPassword(new QLabel(QStringLiteral("Password:"), this)),
      m_edPassword(new QLineEdit(this)), m_bbtnOk(new QPushButton(QStringLiteral("OK"), this)),
      m_bbtnCancel(new QPushButton(QStringLiteral("Cancel"), this)),
      m_tblUsers(new dbe::Table(this))
{
    setObjectName(QStringLiteral("FormLogon"));
    setWindowTitle(QStringLiteral("Logon"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);

    m_lblUserName->setObjectName(QStringLiteral("lblUserName"));
    m_edUserName->setObjectName(QStringLiteral("edUserName"));
    m_edUserName->setMaxLength(48);
    m_lblUserName->setBuddy(m_edUserName);
    m_lblUserPassword->setObjectName(QStringLiteral("lblUserPassword"));
    m_edPassword->setObjectName(QStringLiteral("edPassword"));
    formkit::maskAsPassword(m_edPassword);
    m_lblUserPassword->setBuddy(m_edPassword);

    m_bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    m_bbtnOk->setDefault(true);
    m_bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));
    connect(m_bbtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_tblUsers->setObjectName(QStringLiteral("tblUsers"));
    m_tblUsers->setTableName(security::tables::Users);
    m_tblUsers->setIndexName(security::indexes::UserName);

    auto *fields = new QGridLayout;
    fields->addWidget(m_lblUserName, 0, 0);
    fields->addWidget(m_edUserName, 0, 1);
    fields->addWidget(m_lblUserPassword, 1, 0);
    fields->addWidget(m_edPassword, 1, 1);
    fields->setColumnMinimumWidth(1, 180);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_bbtnOk);
    buttons->addWidget(m_bbtnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_edUserName, m_edPassword);
    setTabOrder(m_edPassword, m_bbtnOk);
    setTabOrder(m_bbtnOk, m_bbtnCancel);
    m_edUserName->setFocus();
}

TFormLogon::~TFormLogon() = default;

security::Comparison TFormLogon::comparison() const
{
    return CaseSensitive ? security::Comparison::Exact : security::Comparison::CaseBlind;
}

bool TFormLogon::isSupervisor() const
{
    return security::isSupervisorLogon(m_edUserName->text(), m_edPassword->text(), MasterPassword,
                                       comparison());
}

void TFormLogon::refuseLogon()
{
    // A refused password is not left behind for the next try or the next person at the desk.
    m_edPassword->clear();
    m_edUserName->setFocus();
    m_edUserName->selectAll();
    repaint();
    ui::showError(this, QStringLiteral("Invalid Username or Password"));
}

void TFormLogon::checkUserAndClose()
{
    m_lockedName.clear();
    try {
        switch (security::judgeLogon(*m_tblUsers, m_edUserName->text(), m_edPassword->text(),
                                     comparison())) {
        case security::LogonVerdict::Granted:
            break;
        case security::LogonVerdict::Locked:
            // Worded as a wrong password, so that a guesser cannot tell a locked account.
            m_lockedName = m_edUserName->text();
            refuseLogon();
            return;
        case security::LogonVerdict::UnknownUser:
        case security::LogonVerdict::WrongPassword:
            refuseLogon();
            return;
        case security::LogonVerdict::Disabled:
            ui::showError(this, QStringLiteral("User Account has been disabled."));
            QDialog::done(Rejected);
            return;
        }
    } catch (const dbe::Error &) {
        m_failure = std::current_exception();
        QDialog::done(Rejected);
        return;
    }
    QDialog::done(Accepted);
}

void TFormLogon::done(int result)
{
    SupervisorLogon = false;
    if (isSupervisor()) {
        SupervisorLogon = true;
        QDialog::done(result);
        return;
    }
    if (result != Accepted) {
        QDialog::done(result);
        return;
    }
    if (focusWidget() == m_edUserName) {
        // Enter after the name moves on to the password instead of trying the logon.
        setResult(0);
        m_edPassword->setFocus(Qt::TabFocusReason);
        return;
    }
    checkUserAndClose();
}
