#include "security/pswdunt.h"

#include "dbe/error.h"
#include "dbe/table.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormPassword *FormPassword = nullptr;

namespace {

QLineEdit *makePasswordEdit(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    formkit::maskAsPassword(edit);
    return edit;
}

QLabel *makeLabel(const QString &name, const QString &text, QLineEdit *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TFormPassword::TFormPassword(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_edPassword(makePasswordEdit(QStringLiteral("edPassword"), this)),
      m_edPassword1(makePasswordEdit(QStringLiteral("edPassword1"), this)),
      m_edPassword2(makePasswordEdit(QStringLiteral("edPassword2"), this)),
      m_bbnOk(new QPushButton(QStringLiteral("OK"), this)),
      m_bbnCancel(new QPushButton(QStringLiteral("Cancel"), this)), m_tblUsers(new dbe::Table(this))
{
    setObjectName(QStringLiteral("FormPassword"));
    setWindowTitle(QStringLiteral("Change Password"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);

    m_Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("Current Password:"),
                         m_edPassword, this);
    m_lblPassword1 = makeLabel(QStringLiteral("lblPassword1"), QStringLiteral("New Password:"),
                               m_edPassword1, this);
    m_lblPassword2 = makeLabel(QStringLiteral("lblPassword2"), QStringLiteral("Verify Password:"),
                               m_edPassword2, this);

    m_bbnOk->setObjectName(QStringLiteral("bbnOk"));
    m_bbnOk->setDefault(true);
    m_bbnCancel->setObjectName(QStringLiteral("bbnCancel"));
    connect(m_bbnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bbnCancel, &QPushButton::clicked, this, &QDialog::reject);
    m_tblUsers->setObjectName(QStringLiteral("tblUsers"));

    auto *fields = new QFormLayout;
    fields->addRow(m_Label1, m_edPassword);
    fields->addRow(m_lblPassword1, m_edPassword1);
    fields->addRow(m_lblPassword2, m_edPassword2);
    m_edPassword->setMinimumWidth(160);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_bbnOk);
    buttons->addWidget(m_bbnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_edPassword, m_edPassword1);
    setTabOrder(m_edPassword1, m_edPassword2);
    setTabOrder(m_edPassword2, m_bbnOk);
    setTabOrder(m_bbnOk, m_bbnCancel);
    m_edPassword->setFocus();
}

TFormPassword::~TFormPassword() = default;

bool TFormPassword::moveToNextField()
{
    QWidget *focused = focusWidget();
    if (focused == m_edPassword) {
        m_edPassword1->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (focused == m_edPassword1) {
        m_edPassword2->setFocus(Qt::TabFocusReason);
        return true;
    }
    return false;
}

void TFormPassword::refuse(QLineEdit *field, const QString &message)
{
    ui::showError(this, message);
    field->setFocus();
    field->selectAll();
    repaint();
}

void TFormPassword::storeNewPassword()
{
    try {
        // The dialog takes a password of any length and keeps its first characters, as many as
        // the field holds; storing it is the rules' own, as for the administration.
        const QString password =
            m_edPassword1->text().left(m_tblUsers->fieldInfo(security::fields::UserPassword).size);
        const security::SecurityRules::UserChange change =
            security::SecurityRules(m_tblUsers->databaseName())
                .setPassword(m_tblUsers->asInteger(security::fields::UserId), password);
        // A user deleted since the logon has no password left to change.
        if (change.status != security::SecurityRules::UserChange::Written) {
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

void TFormPassword::done(int result)
{
    if (result != Accepted) {
        QDialog::done(result);
        return;
    }
    // Enter in the first two fields moves on instead of trying the change.
    if (moveToNextField()) {
        setResult(0);
        return;
    }
    // The current password is compared exactly even where logons are case-blind: changing
    // it asks for proof of the password itself.
    if (m_edPassword->text() != m_tblUsers->asString(security::fields::UserPassword)) {
        refuse(m_edPassword, QStringLiteral("Current password is invalid."));
        return;
    }
    if (m_edPassword1->text() != m_edPassword2->text()) {
        refuse(m_edPassword1, QStringLiteral("Passwords do not match."));
        return;
    }
    storeNewPassword();
}
