// The demonstration host: an application put under security by one TVeskSecure.
//
//   demohost [ALIAS]     master password from VESK_MASTER_PASSWORD

#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const QString alias = args.size() > 1 ? args.at(1) : QStringLiteral("VESKDEMO");

    MainWindow window(alias, qEnvironmentVariable("VESK_MASTER_PASSWORD"));
    if (!window.startSecurity())
        return 1;
    window.show();
    return QApplication::exec();
}
