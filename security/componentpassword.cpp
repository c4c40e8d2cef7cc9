// The password change of the logged-on user.

#include "dbe/table.h"
#include "rules/schema.h"
#include "security/pswdunt.h"
#include "security/vesksec2_p.h"
#include "ui/messages.h"

#include <QWidget>
#include <memory>

namespace {

// Publishes the dialog in FormPassword while it exists.
class ShownPasswordDialog
{
public:
    explicit ShownPasswordDialog(QWidget *parent)
        : m_dialog(std::make_unique<TFormPassword>(parent))
    {
        FormPassword = m_dialog.get();
    }
    ~ShownPasswordDialog() { FormPassword = nullptr; }
    ShownPasswordDialog(const ShownPasswordDialog &) = delete;
    ShownPasswordDialog &operator=(const ShownPasswordDialog &) = delete;
    TFormPassword *operator->() const { return m_dialog.get(); }

private:
    std::unique_ptr<TFormPassword> m_dialog;
};

} // namespace

bool TVeskSecurePrivate::changePassword()
{
    // The supervisor has no row; his password is the master password.
    if (m_userId <= security::SupervisorId) {
        if (q->GetShowUI())
            ui::showError(nullptr, QStringLiteral("No user is logged into security"));
        return false;
    }

    ShownPasswordDialog dialog(qobject_cast<QWidget *>(q->parent()));
    dbe::Table &users = dialog->tblUsers();
    users.setDatabaseName(m_alias);
    users.setTableName(security::tables::Users);
    users.open();
    // The row may have been deleted by an administrator since the logon.
    if (!users.findKey({m_userId}))
        return false;
    const bool changed = dialog->exec() == QDialog::Accepted;
    if (dialog->failure())
        std::rethrow_exception(dialog->failure());
    users.close();
    return changed;
}
