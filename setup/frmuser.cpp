#include "setup/frmuser.h"

#include "dbe/error.h"
#include "dbe/table.h"
#include "rules/auditedchange.h"
#include "rules/schema.h"
#include "setup/logging.h"
#include "ui/formkit.h"
#include "ui/dbcontrols.h"
#include "ui/engineerror.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using formkit::place;
using namespace security::fields;

TformUser *formUser = nullptr;

namespace {

// The labels of the left column; the two user-defined ones take the captions of the settings
// row, so every label gets the column's width.
QLabel *columnLabel(const QString &name, const QString &text, QWidget *parent, int y,
                    QWidget *edit)
{
    return formkit::placeLabel(name, text, parent, 8, y, 114, edit);
}

QPushButton *placeButton(const QString &name, const QString &text, QWidget *parent, int x)
{
    auto *button = place<QPushButton>(parent, name, {x, 189, 91, 27}, text);
    button->setAutoDefault(false);
    return button;
}

// The engine leaves required fields to the data set's users, so a row that lacks one is refused
// here before anything is written, as the engine refuses any other bad row.
void postUser(dbe::Table &users)
{
    for (const dbe::FieldInfo &field : users.fields()) {
        if (field.required && users.isNull(field.name))
            throw dbe::Error(
                QStringLiteral("Field '%1' must have a value.").arg(field.displayLabel));
    }
    security::postAudited(users, QStringLiteral("user"), UserName);
}

} // namespace

TformUser::TformUser(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("formUser"));
    setWindowTitle(QStringLiteral("Modify User"));
    formkit::applyDialogFont(this, formkit::Weight::Regular);
    setFixedSize(311, 224);
    // The dialog keeps the place it was designed at rather than being centred.
    move(323, 245);

    // Created in tab order; each label names its edit for screen readers.
    dbedName = place<ui::DbEdit>(this, QStringLiteral("dbedName"), {124, 9, 179, 21});
    Label1 = columnLabel(QStringLiteral("Label1"), QStringLiteral("Name:"), this, 12, dbedName);
    dbedPassword = place<ui::DbEdit>(this, QStringLiteral("dbedPassword"), {124, 36, 100, 21});
    Label4 = columnLabel(QStringLiteral("Label4"), QStringLiteral("Password:"), this, 39,
                         dbedPassword);
    formkit::maskAsPassword(dbedPassword);
    edConfirm = place<QLineEdit>(this, QStringLiteral("edConfirm"), {124, 63, 100, 21});
    formkit::maskAsPassword(edConfirm);
    lblConfirm = columnLabel(QStringLiteral("lblConfirm"), QStringLiteral("Confirm Password:"),
                             this, 66, edConfirm);
    dbedUserDef1 = place<ui::DbEdit>(this, QStringLiteral("dbedUserDef1"), {124, 90, 179, 21});
    lblDef1 = columnLabel(QStringLiteral("lblDef1"), QStringLiteral("User Defined 1:"), this, 93,
                          dbedUserDef1);
    dbedUserDef2 = place<ui::DbEdit>(this, QStringLiteral("dbedUserDef2"), {124, 117, 179, 21});
    lblDef2 = columnLabel(QStringLiteral("lblDef2"), QStringLiteral("User Defined 2:"), this, 120,
                          dbedUserDef2);
    dbchboxEnabled = place<ui::DbCheckBox>(this, QStringLiteral("dbchboxEnabled"),
                                           {124, 143, 179, 17}, QStringLiteral("Enabled"));
    dbchAdmin = place<ui::DbCheckBox>(this, QStringLiteral("dbchAdmin"), {124, 164, 179, 17},
                                      QStringLiteral("Administrative Rights"));

    bbtnAnother = placeButton(QStringLiteral("bbtnAnother"), QStringLiteral("&Another"), this, 8);
    bbtnAnother->hide();
    bbtnOk = placeButton(QStringLiteral("bbtnOk"), QStringLiteral("OK"), this, 110);
    bbtnOk->setDefault(true);
    bbtnCancel = placeButton(QStringLiteral("bbtnCancel"), QStringLiteral("Cancel"), this, 212);

    connect(bbtnAnother, &QPushButton::clicked, this, &TformUser::bbtnAnotherClick);
    connect(bbtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    ui::installHelpKey(this, QStringLiteral("setup.html"));
}

void TformUser::BindUsers(dbe::Table *users)
{
    m_users = users;
    dbedName->setDataField(users, UserName);
    dbedPassword->setDataField(users, UserPassword);
    dbedUserDef1->setDataField(users, UserDef1);
    dbedUserDef2->setDataField(users, UserDef2);
    dbchboxEnabled->setDataField(users, UserEnabled);
    dbchAdmin->setDataField(users, UserAdmin);
}

bool TformUser::isEditing() const
{
    if (!m_users)
        return false;
    const dbe::DataSet::State state = m_users->state();
    return state == dbe::DataSet::State::Edit || state == dbe::DataSet::State::Insert;
}

void TformUser::reportSaveFailure(const dbe::Error &error)
{
    qCInfo(setup::lcSetup).noquote() << "saving the user failed:" << error.text();
    if (dbedName->text().isEmpty()) {
        ui::showError(this, QStringLiteral("Name field is Required."));
        dbedName->setFocus();
    } else {
        ui::showError(this, QStringLiteral("Unable to save current user."));
    }
}

void TformUser::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_passwordAtShow = dbedPassword->text();
    edConfirm->clear();
}

bool TformUser::passwordConfirmed()
{
    // Asked only for a password typed here: a new user's, or a changed one. One typo would
    // otherwise lock the user out at the first logon.
    if (dbedPassword->text() == m_passwordAtShow || edConfirm->text() == dbedPassword->text())
        return true;
    ui::showError(this, QStringLiteral("The two passwords differ. Type the same password in "
                                       "both fields."));
    edConfirm->clear();
    edConfirm->setFocus();
    return false;
}

bool TformUser::FormCloseQuery(int result)
{
    if (result != QDialog::Accepted || !isEditing())
        return true;
    if (!passwordConfirmed())
        return false;
    try {
        postUser(*m_users);
    } catch (const dbe::Error &error) {
        // Whatever the engine's reason, the user is told in the dialog's own words and keeps
        // the input on screen; the engine's own goes to the log.
        reportSaveFailure(error);
        return false;
    }
    return true;
}

void TformUser::FormClose(int result)
{
    if (result != QDialog::Accepted && isEditing())
        ui::runGuarded(this, [this] { m_users->cancel(); });
}

void TformUser::bbtnAnotherClick()
{
    if (!isEditing() || !passwordConfirmed())
        return;
    try {
        postUser(*m_users);
        m_users->append();
        m_users->setValue(UserEnabled, true);
    } catch (const dbe::Error &error) {
        reportSaveFailure(error);
        return;
    }
    m_passwordAtShow = dbedPassword->text();
    edConfirm->clear();
    dbedName->setFocus();
}

void TformUser::done(int result)
{
    if (!FormCloseQuery(result))
        return;
    FormClose(result);
    QDialog::done(result);
}
