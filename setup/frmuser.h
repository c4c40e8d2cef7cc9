#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dbe {
class Error;
class Table;
} // namespace dbe

namespace ui {
class DbCheckBox;
class DbEdit;
} // namespace ui

// The user dialog: name, password, the two free fields and the two flags of the users table's
// current row. The opener starts a new row (add) or leaves the row as it is (edit); the dialog
// posts it on OK and cancels it otherwise.
class TformUser : public QDialog
{
    Q_OBJECT

public:
    explicit TformUser(QWidget *owner = nullptr);

    // The users table the controls show and edit (the dialog's data source).
    void BindUsers(dbe::Table *users);
    dbe::Table *Users() const { return m_users; }

    // Answers whether the dialog may close with `result`; posts the row for OK.
    bool FormCloseQuery(int result);
    void FormClose(int result);
    void bbtnAnotherClick();

    void done(int result) override;

    QLabel *Label1 = nullptr;
    ui::DbEdit *dbedName = nullptr;
    QLabel *Label4 = nullptr;
    ui::DbEdit *dbedPassword = nullptr;
    // The password typed again; needed whenever the password was typed in the dialog.
    QLabel *lblConfirm = nullptr;
    QLineEdit *edConfirm = nullptr;
    QLabel *lblDef1 = nullptr;
    ui::DbEdit *dbedUserDef1 = nullptr;
    QLabel *lblDef2 = nullptr;
    ui::DbEdit *dbedUserDef2 = nullptr;
    ui::DbCheckBox *dbchboxEnabled = nullptr;
    ui::DbCheckBox *dbchAdmin = nullptr;
    QPushButton *bbtnAnother = nullptr;
    QPushButton *bbtnOk = nullptr;
    QPushButton *bbtnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool isEditing() const;
    // False, with the reason shown, while a password typed here has no matching confirmation.
    bool passwordConfirmed();
    // Shows why a post failed; the name edit gets the focus when the name is missing.
    void reportSaveFailure(const dbe::Error &error);

    dbe::Table *m_users = nullptr;
    QString m_passwordAtShow;
};

// The user dialog while it is shown.
extern TformUser *formUser;
