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
    ui::installHelpKey(this, QStringLiteral("password.html"));
    setObjectName(QStringLiteral("PasswordPrompt"));
    setWindowTitle(QStringLiteral("Enter password"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);

    lblPrompt = new QLabel(
        tr("Table %1 is password protected.\nPassword:").arg(QFileInfo(tableName).fileName()));
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    edPassword = new QLineEdit;
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

void TPasswordPrompt::install()
{
    dbe::Session::instance().setPasswordPrompt(
        [](const QString &tableName) { return ask(QApplication::activeWindow(), tableName); });
}

void TPasswordPrompt::uninstall()
{
    dbe::Session::instance().setPasswordPrompt({});
}
