// The demonstration host: an application put under security by one TVeskSecure.
//
//   demohost [--screenshot FILE] [ALIAS]     master password from VESK_MASTER_PASSWORD
//
// With --screenshot the program saves a picture of its first window (the logon dialog) and
// ends: for machines without a screen.

#include "mainwindow.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    QString screenshot;
    if (args.size() > 1 && args.first() == QLatin1String("--screenshot")) {
        screenshot = args.at(1);
        args = args.mid(2);
    }
    const QString alias = args.isEmpty() ? QStringLiteral("VESKDEMO") : args.first();
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(1500, [screenshot] {
            QWidget *shown = QApplication::activeModalWidget();
            if (!shown)
                shown = QApplication::activeWindow();
            if (shown)
                shown->grab().save(screenshot);
            QApplication::exit(0);
            if (shown && shown != QApplication::activeWindow())
                shown->close();
        });
    }

    MainWindow window(alias, qEnvironmentVariable("VESK_MASTER_PASSWORD"));
    if (!window.startSecurity())
        return screenshot.isEmpty() ? 1 : 0;
    window.show();
    return QApplication::exec();
}
