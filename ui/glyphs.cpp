#include "ui/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>
#include <functional>

namespace glyphs {

namespace {

constexpr int Size = 16;

// The arrows are pixel art: smoothing would blur their single-pixel steps.
enum class Smoothing { Antialiased, Aliased };

QPixmap drawn(QSize size, Smoothing smoothing, const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    if (smoothing == Smoothing::Antialiased)
        painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return pixmap;
}

QIcon drawnIcon(const std::function<void(QPainter &)> &draw)
{
    return QIcon(drawn(QSize(Size, Size), Smoothing::Antialiased, draw));
}

// A glyph that has a disabled look: drawn with its lines in `ink`, its highlights in `accent`
// and its light parts in `paper`, so that the disabled look can draw it again in other colours.
using Shape =
    std::function<void(QPainter &, const QColor &ink, const QColor &accent, const QColor &paper)>;

struct Colours {
    QColor ink;
    QColor accent;
    QColor paper;
};

// The old toolkits' disabled look: a white relief one pixel down and right, the shape itself
// in grey, nothing filled.
QPixmap disabledLook(QSize size, Smoothing smoothing, const Shape &shape)
{
    return drawn(size, smoothing, [&](QPainter &painter) {
        painter.save();
        painter.translate(1, 1);
        shape(painter, Qt::white, Qt::white, Qt::transparent);
        painter.restore();
        const QColor grey(128, 128, 128);
        shape(painter, grey, grey, Qt::transparent);
    });
}

QIcon withDisabledLook(QSize size, Smoothing smoothing, const Shape &shape, const Colours &normal)
{
    QIcon icon(drawn(size, smoothing, [&](QPainter &painter) {
        shape(painter, normal.ink, normal.accent, normal.paper);
    }));
    icon.addPixmap(disabledLook(size, smoothing, shape), QIcon::Disabled);
    return icon;
}

// The navigator's glyphs: black lines, dark blue highlights on white paper. Where the accent is
// the ink, the glyph is drawn for the disabled look and leaves out its colours.
const Colours NavigatorColours{QColor(0, 0, 0), QColor(0, 0, 160), Qt::white};

void build(QPainter &p, const QColor &ink, const QColor &accent, const QColor &paper)
{
    drawPage(p, 2.5, ink, paper);
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

void pageArrow(QPainter &p, const QColor &ink, const QColor &accent, bool pointsRight)
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
    drawPage(p, 2.5, ink, paper);
    const QColor cross = accent == ink ? ink : QColor(200, 0, 0);
    p.setPen(QPen(cross, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 6), QPointF(11, 12));
    p.drawLine(QPointF(11, 6), QPointF(5, 12));
}

// A solid arrow: a head of six pixels' depth and a shaft half as high as the glyph.
QPolygon listArrowShape(bool pointsLeft)
{
    QPolygon shape({QPoint(0, 5), QPoint(5, 0), QPoint(5, 3), QPoint(14, 3), QPoint(14, 8),
                    QPoint(5, 8), QPoint(5, 11), QPoint(0, 6)});
    if (!pointsLeft) {
        for (QPoint &point : shape)
            point.setX(ArrowSize.width() - 1 - point.x());
    }
    return shape;
}

QIcon listArrow(bool pointsLeft)
{
    const QPolygon shape = listArrowShape(pointsLeft);
    return withDisabledLook(
        ArrowSize, Smoothing::Aliased,
        [&shape](QPainter &p, const QColor &ink, const QColor &, const QColor &) {
            p.setPen(ink);
            p.setBrush(ink);
            p.drawPolygon(shape);
        },
        {QColor(0, 0, 128), QColor(0, 0, 128), Qt::transparent});
}

} // namespace

void drawPage(QPainter &painter, double left, const QColor &ink, const QColor &paper)
{
    const double fold = left + 7;
    const double right = left + 10;
    QPainterPath sheet;
    sheet.moveTo(left, 1.5);
    sheet.lineTo(fold, 1.5);
    sheet.lineTo(right, 4.5);
    sheet.lineTo(right, 14.5);
    sheet.lineTo(left, 14.5);
    sheet.closeSubpath();
    painter.setPen(QPen(ink, 1));
    painter.setBrush(paper);
    painter.drawPath(sheet);
    painter.drawLine(QPointF(fold, 1.5), QPointF(fold, 4.5));
    painter.drawLine(QPointF(fold, 4.5), QPointF(right, 4.5));
}

QIcon navigator(int buttonIndex)
{
    const QSize size(Size, Size);
    switch (buttonIndex) {
    case 0:
        return QIcon(drawn(size, Smoothing::Antialiased, [](QPainter &p) {
            build(p, NavigatorColours.ink, NavigatorColours.accent, NavigatorColours.paper);
        }));
    case 1:
        return QIcon(drawn(size, Smoothing::Antialiased, [](QPainter &p) {
            printer(p, NavigatorColours.ink, NavigatorColours.accent, NavigatorColours.paper);
        }));
    case 2:
    case 3: {
        const bool pointsRight = buttonIndex == 3;
        return withDisabledLook(
            size, Smoothing::Antialiased,
            [pointsRight](QPainter &p, const QColor &ink, const QColor &accent, const QColor &) {
                pageArrow(p, ink, accent, pointsRight);
            },
            NavigatorColours);
    }
    default:
        return withDisabledLook(size, Smoothing::Antialiased, clear, NavigatorColours);
    }
}

QIcon abort()
{
    return drawnIcon([](QPainter &p) {
        p.setPen(QPen(QColor(128, 0, 0), 1));
        p.setBrush(QColor(220, 0, 0));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    });
}

QIcon newDatabase()
{
    return drawnIcon([](QPainter &painter) {
        drawPage(painter, 3.5, Qt::black, Qt::white);
        painter.setPen(QPen(QColor(200, 150, 0), 1.5));
        painter.drawLine(QPointF(8.5, 6), QPointF(8.5, 12));
        painter.drawLine(QPointF(5.5, 9), QPointF(11.5, 9));
    });
}

QIcon openDatabase()
{
    return drawnIcon([](QPainter &painter) {
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
    return drawnIcon([](QPainter &painter) {
        drawPage(painter, 3.5, Qt::black, Qt::white);
        painter.setPen(QPen(QColor(0, 0, 140), 1));
        for (int y = 6; y <= 12; y += 2)
            painter.drawLine(QPointF(5, y + 0.5), QPointF(12, y + 0.5));
    });
}

QIcon setup()
{
    return drawnIcon([](QPainter &painter) {
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
    return drawnIcon([](QPainter &painter) {
        drawPage(painter, 3.5, Qt::black, Qt::white);
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
    return drawnIcon([](QPainter &painter) {
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

QIcon leftArrow()
{
    return listArrow(true);
}

QIcon rightArrow()
{
    return listArrow(false);
}

} // namespace glyphs
