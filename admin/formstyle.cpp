#include "admin/formstyle.h"

#include <QApplication>
#include <QFont>
#include <QWidget>

namespace formstyle {

void fixClientSize(QWidget *widget, int width, int height)
{
    widget->setFixedSize(width, height);
}

void identifyProgram()
{
    QApplication::setApplicationName(QStringLiteral("secadmin"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
}

} // namespace formstyle
