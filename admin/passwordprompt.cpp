#include "admin/passwordprompt.h"

#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "dbe/session.h"
#include "ui/helpkey.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TPasswordPrompt::TPasswordPrompt(const QString &tableName, QWidget *parent) : QDialog(parent)
{
    build(tr("Table %1 is password protected.\n&Password:").arg(QFileInfo(tableName).fileName()));
}

TPasswordPrompt::TPasswordPrompt(const QString &alias, int attempt, int attempts, QWidget *parent)
    : QDialog(parent)
{
    QString text = tr("The security database %1 is protected by its master password.").arg(alias);
    if (attempt > 1)
        text += tr("\nThat password was not accepted; try %1 of %2.").arg(attempt).arg(attempts);
    build(text + tr("\n&Master password:"));
}

void TPasswordPrompt::build(const QString &promptText)
{
    ui::installHelpKey(this, QStringLiteral("password.html"));
    setObjectName(QStringLiteral("PasswordPrompt"));
    setWindowTitle(QStringLiteral("Enter password"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);

    lblPrompt = new QLabel(promptText);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    edPassword = new QLineEdit;
    lblPrompt->setBuddy(edPassword);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    edPassword->setMinimumWidth(240);

    auto *buttons = new QDialogButtonBox;
    btnOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addWidget(edPassword);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

std::optional<QString> TPasswordPrompt::ask(QWidget *parent, const QString &tableName)
{
    TPasswordPrompt prompt(tableName, parent);
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    return prompt.edPassword->text();
}

std::optional<QString> TPasswordPrompt::askForDatabase(QWidget *parent, const QString &alias,
                                                       int attempt, int attempts)
{
    TPasswordPrompt prompt(alias, attempt, attempts, parent);
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    return prompt.edPassword->text();
}

void TPasswordPrompt::install()
{
    dbe::Session::instance().setPasswordPrompt(
        [](const QString &tableName) { return ask(QApplication::activeWindow(), tableName); });
}

void TPasswordPrompt::uninstall()
{
    dbe::Session::instance().setPasswordPrompt({});
}
