#pragma once

#include <VeskSecure2/vesksec2.h>

#include <QList>
#include <QMainWindow>

class QAction;
class QLabel;

// A small order-entry window whose features are guarded by access constants.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const QString &alias, const QString &masterPassword);

    TVeskSecure *security() const { return m_security; }
    // Activates security; false when the application has to end.
    bool startSecurity();

private:
    struct GuardedAction {
        QAction *action;
        int accessId;
    };

    void addGuardedAction(QMenu *menu, const QString &text, int accessId);
    void refreshAccess();
    void runGuarded(const QString &feature, int accessId);
    void logOnAgain();

    TVeskSecure *m_security;
    QLabel *m_userLabel;
    QLabel *m_workArea;
    QList<GuardedAction> m_guarded;
};
