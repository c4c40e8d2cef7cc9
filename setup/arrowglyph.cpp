#include "setup/arrowglyph.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace {

constexpr int GlyphWidth = 15;
constexpr int GlyphHeight = 12;

// A solid arrow: a head of six pixels' depth and a shaft half as high as the glyph.
QPolygon arrowShape(bool pointsLeft)
{
    QPolygon shape({QPoint(0, 5), QPoint(5, 0), QPoint(5, 3), QPoint(14, 3), QPoint(14, 8),
                    QPoint(5, 8), QPoint(5, 11), QPoint(0, 6)});
    if (!pointsLeft) {
        for (QPoint &point : shape)
            point.setX(GlyphWidth - 1 - point.x());
    }
    return shape;
}

QPixmap paintArrow(bool pointsLeft, const QColor &fill, const QColor &shadow)
{
    QPixmap pixmap(GlyphWidth, GlyphHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QPolygon shape = arrowShape(pointsLeft);
    if (shadow.isValid()) {
        painter.setPen(shadow);
        painter.setBrush(shadow);
        painter.drawPolygon(shape.translated(1, 1));
    }
    painter.setPen(fill);
    painter.setBrush(fill);
    painter.drawPolygon(shape);
    return pixmap;
}

QIcon arrowGlyph(bool pointsLeft)
{
    QIcon icon;
    icon.addPixmap(paintArrow(pointsLeft, QColor(0, 0, 128), QColor()), QIcon::Normal);
    icon.addPixmap(paintArrow(pointsLeft, QColor(128, 128, 128), QColor(Qt::white)),
                   QIcon::Disabled);
    return icon;
}

} // namespace

QIcon leftArrowGlyph()
{
    return arrowGlyph(true);
}

QIcon rightArrowGlyph()
{
    return arrowGlyph(false);
}
