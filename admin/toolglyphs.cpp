#include "admin/toolglyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace toolglyphs {

namespace {

constexpr int Size = 16;

QIcon drawn(const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

void drawPage(QPainter &painter)
{
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10.5, 1.5);
    page.lineTo(13.5, 4.5);
    page.lineTo(13.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    painter.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
    painter.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
}

} // namespace

QIcon newDatabase()
{
    return drawn([](QPainter &painter) {
        drawPage(painter);
        painter.setPen(QPen(QColor(200, 150, 0), 1.5));
        painter.drawLine(QPointF(8.5, 6), QPointF(8.5, 12));
        painter.drawLine(QPointF(5.5, 9), QPointF(11.5, 9));
    });
}

QIcon openDatabase()
{
    return drawn([](QPainter &painter) {
        painter.setPen(QPen(QColor(120, 90, 0), 1));
        painter.setBrush(QColor(240, 200, 80));
        painter.drawRect(QRectF(1.5, 4.5, 11, 9));
        painter.drawRect(QRectF(1.5, 3.5, 5, 2));
        QPainterPath flap;
        flap.moveTo(3.5, 7.5);
        flap.lineTo(14.5, 7.5);
        flap.lineTo(12.5, 13.5);
        flap.lineTo(1.5, 13.5);
        flap.closeSubpath();
        painter.setBrush(QColor(255, 225, 120));
        painter.drawPath(flap);
    });
}

QIcon reports()
{
    return drawn([](QPainter &painter) {
        drawPage(painter);
        painter.setPen(QPen(QColor(0, 0, 140), 1));
        for (int y = 6; y <= 12; y += 2)
            painter.drawLine(QPointF(5, y + 0.5), QPointF(12, y + 0.5));
    });
}

QIcon setup()
{
    return drawn([](QPainter &painter) {
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.setBrush(QColor(250, 210, 60));
        painter.drawRoundedRect(QRectF(3.5, 7.5, 9, 7), 1, 1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(90, 90, 100), 2));
        painter.drawArc(QRectF(5, 2, 6, 9), 0, 180 * 16);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(QPointF(8, 10), QPointF(8, 12.5));
    });
}

QIcon generate()
{
    return drawn([](QPainter &painter) {
        drawPage(painter);
        QFont font = painter.font();
        font.setPixelSize(8);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(0, 110, 0));
        painter.drawText(QRectF(3.5, 4.5, 10, 10), Qt::AlignCenter, QStringLiteral("{}"));
    });
}

QIcon help()
{
    return drawn([](QPainter &painter) {
        painter.setPen(QPen(QColor(0, 0, 120), 1));
        painter.setBrush(QColor(230, 240, 255));
        painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont font = painter.font();
        font.setPixelSize(11);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    });
}

} // namespace toolglyphs
