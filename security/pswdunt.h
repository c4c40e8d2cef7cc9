#pragma once

#include <QDialog>
#include <exception>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dbe {
class Table;
}

// The change-password dialog: the current password, the new one and the new one again. Its
// table stands on the user's row; an accepted close has stored the new password there. Every
// attempt to close it passes through done().
class TFormPassword : public QDialog
{
    Q_OBJECT

public:
    explicit TFormPassword(QWidget *parent = nullptr);
    ~TFormPassword() override;

    QLineEdit *edPassword() const { return m_edPassword; }
    QLineEdit *edPassword1() const { return m_edPassword1; }
    QLineEdit *edPassword2() const { return m_edPassword2; }
    QPushButton *bbnOk() const { return m_bbnOk; }
    QPushButton *bbnCancel() const { return m_bbnCancel; }
    // Its database and table name are the opener's to set.
    dbe::Table &tblUsers() const { return *m_tblUsers; }

    // An engine failure while storing the password; the dialog closes with Cancel and the
    // opener rethrows it, since an exception must not cross the dialog's event loop.
    std::exception_ptr failure() const { return m_failure; }

    void done(int result) override;

private:
    bool moveToNextField();
    void refuse(QLineEdit *field, const QString &message);
    void storeNewPassword();

    QLabel *m_Label1;
    QLineEdit *m_edPassword;
    QLabel *m_lblPassword1;
    QLineEdit *m_edPassword1;
    QLabel *m_lblPassword2;
    QLineEdit *m_edPassword2;
    QPushButton *m_bbnOk;
    QPushButton *m_bbnCancel;
    dbe::Table *m_tblUsers;
    std::exception_ptr m_failure;
};

// The change-password dialog while it is shown; null otherwise.
extern TFormPassword *FormPassword;
