#include "mainwindow.h"

#include "democonstants.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QVBoxLayout>

MainWindow::MainWindow(const QString &alias, const QString &masterPassword)
    : m_security(new TVeskSecure(this))
{
    setWindowTitle(QStringLiteral("Order Desk (VeskSecure demo host)"));
    m_security->SetAlias(alias);
    m_security->SetPassword(masterPassword);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Log On Again..."), this, &MainWindow::logOnAgain);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), qApp, &QApplication::quit);

    QMenu *orders = menuBar()->addMenu(QStringLiteral("&Orders"));
    addGuardedAction(orders, QStringLiteral("&View Orders"), dsc_View_Orders);
    addGuardedAction(orders, QStringLiteral("&Edit Orders"), dsc_Edit_Orders);
    addGuardedAction(orders, QStringLiteral("&Delete Orders"), dsc_Delete_Orders);
    QMenu *customers = menuBar()->addMenu(QStringLiteral("&Customers"));
    addGuardedAction(customers, QStringLiteral("&View Customers"), dsc_View_Customers);
    addGuardedAction(customers, QStringLiteral("&Edit Customers"), dsc_Edit_Customers);
    QMenu *office = menuBar()->addMenu(QStringLiteral("O&ffice"));
    addGuardedAction(office, QStringLiteral("&Print Reports"), dsc_Print_Reports);
    addGuardedAction(office, QStringLiteral("E&xport Data"), dsc_Export_Data);
    addGuardedAction(office, QStringLiteral("&Close Period"), dsc_Close_Period);

    QMenu *securityMenu = menuBar()->addMenu(QStringLiteral("&Security"));
    securityMenu->addAction(QStringLiteral("Change &Password..."), this, [this] {
        if (m_security->ChangePassword())
            statusBar()->showMessage(QStringLiteral("Password changed."), 5000);
    });
    securityMenu->addAction(QStringLiteral("Security &Setup..."), this, [this] {
        m_security->Setup();
        refreshAccess();
    });

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    m_userLabel = new QLabel(central);
    m_workArea = new QLabel(QStringLiteral("Choose a feature from the menus. Features you have "
                                           "no right to are greyed out."),
                            central);
    m_workArea->setWordWrap(true);
    layout->addWidget(m_userLabel);
    layout->addWidget(m_workArea, 1);
    setCentralWidget(central);
    resize(520, 260);
}

void MainWindow::addGuardedAction(QMenu *menu, const QString &text, int accessId)
{
    QAction *action = menu->addAction(text);
    const QString feature = QString(text).remove(QLatin1Char('&'));
    connect(action, &QAction::triggered, this,
            [this, feature, accessId] { runGuarded(feature, accessId); });
    m_guarded.append({action, accessId});
}

bool MainWindow::startSecurity()
{
    m_security->Loaded();
    if (m_security->TerminationRequested())
        return false;
    refreshAccess();
    return true;
}

void MainWindow::refreshAccess()
{
    if (m_security->GetActive())
        m_userLabel->setText(QStringLiteral("Logged on as <b>%1</b> (user %2)%3")
                                 .arg(m_security->CurrentUserName().toHtmlEscaped())
                                 .arg(m_security->UserID())
                                 .arg(m_security->IsAdmin() ? QStringLiteral(", administrator")
                                                            : QString()));
    else
        m_userLabel->setText(QStringLiteral("Nobody is logged on."));

    // HasAccess for the menus: it asks quietly and writes no log row, since no feature is used
    // yet. TestAccess is for the moment the user invokes one (runGuarded).
    for (const GuardedAction &guarded : m_guarded)
        guarded.action->setEnabled(m_security->HasAccess(guarded.accessId));
}

void MainWindow::runGuarded(const QString &feature, int accessId)
{
    // Rights may have been revoked since the menu was built: ask again, aloud this time.
    if (!m_security->TestAccess(accessId)) {
        refreshAccess();
        return;
    }
    m_workArea->setText(QStringLiteral("%1: granted to %2.").arg(feature, m_security->CurrentUserName()));
}

void MainWindow::logOnAgain()
{
    m_security->Logon();
    refreshAccess();
}
