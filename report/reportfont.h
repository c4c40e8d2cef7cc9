#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace report {

// A font as report pages record it: a face, a whole number of points, a style and a colour.
// Sizes stay in points so that a page keeps its proportions on every target: the preview turns
// them into pixels for its zoom, a printer through its own resolution.
struct ReportFont {
    QString name = QStringLiteral("Times Roman");
    int size = 10; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QColor color = Qt::black;

    // For devices that turn points into pixels with their own resolution (printers, PDF).
    QFont toPointFont() const;
    // With the character height fixed in device pixels (the zoomed preview, rotated text).
    QFont toPixelFont(int pixelHeight) const;

    // Forms give heights in pixels of the 96-per-inch measuring resolution: 16 pixels are
    // 12 points, 19 pixels 14 points (rounded to whole points).
    void setPixelHeight(int pixels);
    // Takes a font chosen elsewhere (a font dialog, a widget); a pixel size is converted as
    // above, a fractional point size rounded.
    static ReportFont fromQFont(const QFont &font, const QColor &color = Qt::black);

    bool operator==(const ReportFont &) const = default;
};

} // namespace report
