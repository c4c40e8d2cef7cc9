#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// The engine's password prompt: asked when a table opens whose password the session does not
// know. The engine tries the answer and keeps it in the session when it unlocks the table.
class TPasswordPrompt : public QDialog
{
    Q_OBJECT

public:
    explicit TPasswordPrompt(const QString &tableName, QWidget *parent = nullptr);
    // Asking for the master password of the database under `alias`, named as the administrator
    // knows it; `attempt` counts from 1 and is shown from the second on.
    TPasswordPrompt(const QString &alias, int attempt, int attempts, QWidget *parent = nullptr);

    QLabel *lblPrompt = nullptr;
    QLineEdit *edPassword = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

    // The typed password, or nothing when the user cancelled.
    static std::optional<QString> ask(QWidget *parent, const QString &tableName);
    static std::optional<QString> askForDatabase(QWidget *parent, const QString &alias,
                                                 int attempt, int attempts);

    // Makes this dialog the engine session's prompt, for the whole program.
    static void install();
    static void uninstall();

private:
    void build(const QString &promptText);
};
