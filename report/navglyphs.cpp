#include "report/navglyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace report {

namespace {

constexpr int Size = 16;

// Draws one glyph in `ink`; `paper` fills the light parts.
using Shape =
    std::function<void(QPainter &, const QColor &ink, const QColor &accent, const QColor &paper)>;

QPixmap render(const Shape &shape, bool enabled)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (enabled) {
        shape(painter, QColor(0, 0, 0), QColor(0, 0, 160), Qt::white);
    } else {
        // The old toolkits' disabled look: a white relief one pixel down and right, the shape
        // itself in grey.
        painter.save();
        painter.translate(1, 1);
        shape(painter, Qt::white, Qt::white, Qt::transparent);
        painter.restore();
        shape(painter, QColor(128, 128, 128), QColor(128, 128, 128), Qt::transparent);
    }
    return pixmap;
}

void page(QPainter &p, const QColor &ink, const QColor &paper)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 1.5);
    sheet.lineTo(9.5, 1.5);
    sheet.lineTo(12.5, 4.5);
    sheet.lineTo(12.5, 14.5);
    sheet.lineTo(2.5, 14.5);
    sheet.closeSubpath();
    p.setPen(QPen(ink, 1));
    p.setBrush(paper);
    p.drawPath(sheet);
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
}

void build(QPainter &p, const QColor &ink, const QColor &accent, const QColor &paper)
{
    page(p, ink, paper);
    p.setPen(QPen(accent, 1));
    for (int y = 6; y <= 12; y += 2)
        p.drawLine(QPointF(4.5, y + 0.5), QPointF(8.5, y + 0.5));
    // A lightning flash: make the report.
    QPainterPath flash;
    flash.moveTo(12, 5);
    flash.lineTo(9, 10);
    flash.lineTo(11.5, 10);
    flash.lineTo(10, 15);
    flash.lineTo(15, 8.5);
    flash.lineTo(12.5, 8.5);
    flash.lineTo(14.5, 5);
    flash.closeSubpath();
    p.setPen(QPen(ink, 0.8));
    p.setBrush(accent == ink ? ink : QColor(240, 190, 0));
    p.drawPath(flash);
}

void printer(QPainter &p, const QColor &ink, const QColor &accent, const QColor &paper)
{
    p.setPen(QPen(ink, 1));
    p.setBrush(paper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5)); // paper going in
    p.setBrush(accent == ink ? paper : QColor(192, 192, 192));
    p.drawRect(QRectF(1.5, 6.5, 13, 6)); // body
    p.setBrush(paper);
    p.drawRect(QRectF(4.5, 10.5, 7, 4)); // paper coming out
    p.setPen(QPen(accent, 1));
    p.drawLine(QPointF(11.5, 8.5), QPointF(12.5, 8.5));
}

void arrow(QPainter &p, const QColor &ink, const QColor &accent, bool pointsRight)
{
    QPainterPath head;
    if (pointsRight) {
        head.moveTo(5, 3);
        head.lineTo(12, 8);
        head.lineTo(5, 13);
    } else {
        head.moveTo(11, 3);
        head.lineTo(4, 8);
        head.lineTo(11, 13);
    }
    head.closeSubpath();
    p.setPen(QPen(ink, 1));
    p.setBrush(accent);
    p.drawPath(head);
}

void clear(QPainter &p, const QColor &ink, const QColor &accent, const QColor &paper)
{
    page(p, ink, paper);
    const QColor cross = accent == ink ? ink : QColor(200, 0, 0);
    p.setPen(QPen(cross, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 6), QPointF(11, 12));
    p.drawLine(QPointF(11, 6), QPointF(5, 12));
}

} // namespace

QIcon navigatorGlyph(int buttonIndex)
{
    Shape shape;
    bool disabledPicture = true;
    switch (buttonIndex) {
    case 0:
        shape = build;
        disabledPicture = false;
        break;
    case 1:
        shape = printer;
        disabledPicture = false;
        break;
    case 2:
        shape = [](QPainter &p, const QColor &ink, const QColor &accent, const QColor &) {
            arrow(p, ink, accent, false);
        };
        break;
    case 3:
        shape = [](QPainter &p, const QColor &ink, const QColor &accent, const QColor &) {
            arrow(p, ink, accent, true);
        };
        break;
    default:
        shape = clear;
        break;
    }
    QIcon icon(render(shape, true));
    if (disabledPicture)
        icon.addPixmap(render(shape, false), QIcon::Disabled);
    return icon;
}

QIcon abortGlyph()
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 0, 0), 1));
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    return QIcon(pixmap);
}

} // namespace report
