// TVeskSecure::Setup: the setup editor for the administrators of a host application.

#include "rules/schema.h"
#include "security/vesksec2_p.h"
#include "setup/frmsecmn.h"
#include "ui/messages.h"

#include <memory>

bool TVeskSecurePrivate::openSetup()
{
    QWidget *owner = qobject_cast<QWidget *>(q->parent());
    if (m_userId < 0 || !m_isAdmin) {
        if (q->GetShowUI())
            ui::showError(owner, QStringLiteral("Administrative rights have not been granted."));
        return false;
    }
    auto editor = std::make_unique<TFormMain>(owner);
    FormMain = editor.get();
    editor->SetAliasName(m_alias);
    // Only the supervisor may add, edit or delete access constants from within a host: the
    // constants are the host's source code, the other administrators keep users and rights.
    editor->SetHideAccessButtons(m_userId != security::SupervisorId);
    editor->exec();
    FormMain = nullptr;
    return true;
}
