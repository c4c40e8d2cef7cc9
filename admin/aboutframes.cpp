#include "admin/aboutframes.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace aboutframes {

namespace {

void drawBackground(QPainter &painter)
{
    QLinearGradient sky(0, 0, 0, FrameHeight);
    sky.setColorAt(0, QColor(0, 40, 120));
    sky.setColorAt(1, QColor(0, 110, 170));
    painter.fillRect(QRect(0, 0, FrameWidth, FrameHeight), sky);
}

void drawPadlock(QPainter &painter, bool open)
{
    // The shackle lifts out of the body while the key points straight up.
    const int lift = open ? 6 : 0;
    QPen shackle(QColor(200, 200, 210), 5, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(shackle);
    painter.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.moveTo(22, 36 - lift);
    arc.lineTo(22, 22 - lift);
    arc.arcTo(22, 10 - lift, 24, 24, 180, -180);
    arc.lineTo(46, 36 - (open ? lift + 6 : 0));
    painter.drawPath(arc);

    QLinearGradient gold(16, 32, 52, 66);
    gold.setColorAt(0, QColor(250, 214, 90));
    gold.setColorAt(1, QColor(170, 120, 20));
    painter.setPen(QPen(QColor(90, 60, 0), 1));
    painter.setBrush(gold);
    painter.drawRoundedRect(QRectF(14, 34, 40, 32), 4, 4);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 25, 0));
    painter.drawEllipse(QPointF(34, 46), 4, 4);
    painter.drawRect(QRectF(32.5, 46, 3, 10));
}

void drawKey(QPainter &painter, double degrees)
{
    painter.save();
    painter.translate(76, 38);
    painter.rotate(degrees);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(QColor(230, 230, 235));
    painter.drawEllipse(QPointF(0, -14), 7, 7);
    painter.drawRect(QRectF(-2, -8, 4, 24));
    painter.drawRect(QRectF(2, 8, 5, 3));
    painter.drawRect(QRectF(2, 13, 4, 3));
    painter.setBrush(QColor(0, 60, 140));
    painter.drawEllipse(QPointF(0, -14), 2.5, 2.5);
    painter.restore();
}

void drawSparkle(QPainter &painter, int number)
{
    // A glint walks along the lock body, so that even a still key shows the motion.
    const double x = 16 + (number - 1) * (36.0 / (FrameCount - 1));
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
    painter.drawLine(QPointF(x - 3, 38), QPointF(x + 3, 38));
    painter.drawLine(QPointF(x, 35), QPointF(x, 41));
}

} // namespace

QImage drawFrame(int number)
{
    QImage image(FrameWidth, FrameHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawBackground(painter);
    const double degrees = (number - 1) * 360.0 / FrameCount;
    drawPadlock(painter, number == 1);
    drawKey(painter, degrees);
    drawSparkle(painter, number);
    return image;
}

QList<QImage> drawAllFrames()
{
    QList<QImage> frames;
    for (int number = 1; number <= FrameCount; ++number)
        frames.append(drawFrame(number));
    return frames;
}

} // namespace aboutframes
