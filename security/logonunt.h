#pragma once

#include <QDialog>
#include <QString>
#include <exception>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dbe {
class Table;
}
namespace security {
enum class Comparison;
}

// The logon dialog: a user name and a password, checked against USERS.DB, or the supervisor's
// name and the master password. Every attempt to close it (OK, Enter, Cancel, the close box)
// passes through done(), which decides whether it may close.
class TFormLogon : public QDialog
{
    Q_OBJECT

public:
    explicit TFormLogon(QWidget *parent = nullptr);
    ~TFormLogon() override;

    // Set by the opener before the dialog is shown.
    bool CaseSensitive = false;
    QString MasterPassword;
    // Set by the dialog: the supervisor's credentials were typed, whichever button closed it.
    bool SupervisorLogon = false;

    QLineEdit *edUserName() const { return m_edUserName; }
    QLineEdit *edPassword() const { return m_edPassword; }
    QPushButton *bbtnOk() const { return m_bbtnOk; }
    QPushButton *bbtnCancel() const { return m_bbtnCancel; }
    // USERS.DB on "UserName"; after an accepted logon it stands on the user's row.
    dbe::Table &tblUsers() const { return *m_tblUsers; }

    // An engine failure during the lookup; the dialog closes with Cancel and the opener
    // rethrows it, since an exception must not cross the dialog's event loop.
    std::exception_ptr failure() const { return m_failure; }
    // The name of the locked account the last attempt was refused for, shown to the user as a
    // wrong password; empty when it was refused for anything else.
    QString lockedName() const { return m_lockedName; }

    void done(int result) override;

private:
    security::Comparison comparison() const;
    bool isSupervisor() const;
    void refuseLogon();
    void checkUserAndClose();

    QLabel *m_lblUserName;
    QLineEdit *m_edUserName;
    QLabel *m_lblUserPassword;
    QLineEdit *m_edPassword;
    QPushButton *m_bbtnOk;
    QPushButton *m_bbtnCancel;
    dbe::Table *m_tblUsers;
    std::exception_ptr m_failure;
    QString m_lockedName;
};

// The logon dialog while it is shown; null otherwise.
extern TFormLogon *FormLogon;
