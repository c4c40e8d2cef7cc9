#include "admin/formstyle.h"

#include <QFont>
#include <QWidget>

namespace formstyle {

void applyDialogFont(QWidget *widget)
{
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setBold(true);
    widget->setFont(font);
}

void fixClientSize(QWidget *widget, int width, int height)
{
    widget->setFixedSize(width, height);
}

} // namespace formstyle
