#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The logon policy of the database, an addition to the setup editor opened by its Policy
// button: lockout after wrong passwords, auditing of failed logons, and the unlocking of the
// user selected in the editor. OK writes a changed policy (with its audit entry); Unlock acts at
// once.
class TFormPolicy : public QDialog
{
    Q_OBJECT

public:
    // `userName`: the user selected in the editor; empty when none is.
    TFormPolicy(const QString &alias, const QString &userName, QWidget *owner = nullptr);

    QSpinBox *spinLockoutAfter() const { return m_lockoutAfter; }
    QSpinBox *spinLockoutMinutes() const { return m_lockoutMinutes; }
    QSpinBox *spinPermanentAfter() const { return m_permanentAfter; }
    QCheckBox *chkLogFailed() const { return m_logFailed; }
    QPushButton *btnUnlock() const { return m_unlock; }

    void accept() override;

private:
    void unlockClick();

    QString m_alias;
    QString m_userName;
    QSpinBox *m_lockoutAfter;
    QSpinBox *m_lockoutMinutes;
    QSpinBox *m_permanentAfter;
    QCheckBox *m_logFailed;
    QLabel *m_lockState;
    QPushButton *m_unlock;
};
