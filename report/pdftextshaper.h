#pragma once

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <memory>
#include <vector>

namespace report::pdf {

// Glyphs of one face, placed from their line's origin on the baseline, in device pixels.
struct GlyphRun {
    QRawFont face;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    // The text each glyph stands for, one entry per glyph; an empty entry when the layout
    // joined or reordered characters so that the glyph cannot be traced to its own.
    QList<QStringView> glyphText;
};

// One line of text laid out. Valid until the shaper lays out the next.
struct ShapedLine {
    QList<GlyphRun> runs;
    qreal width = 0; // the line's advance, trailing blanks included
    qreal ascent = 0;
    qreal descent = 0;
    QRectF ink; // the glyphs' outlines, from the origin on the baseline
    bool traced = true; // every glyph has its text
    bool plain = false; // laid out from the shaper's tables, not by QTextLayout
};

// Lays a line of text out as QTextLayout lays it out for the same font, but takes the plain
// case from tables kept per font instead of shaping every string again: a report is hundreds
// of thousands of short texts in two or three fonts, and shaping is most of the cost of each.
// Plain means every character is in the font and below the combining marks, and every pair of
// neighbours was seen to lay out as the two characters side by side (no kerning, no ligature);
// each pair is asked of QTextLayout once. Anything else is laid out by QTextLayout itself.
class TextShaper
{
public:
    TextShaper();
    ~TextShaper();
    TextShaper(const TextShaper &) = delete;
    TextShaper &operator=(const TextShaper &) = delete;

    // `font` as the painter holds it, resolved for the device. The glyphs' text refers to
    // `text`, which must outlive the line's use.
    const ShapedLine &shape(const QFont &font, const QString &text);

private:
    struct Face;

    Face &faceOf(const QFont &font);
    bool shapePlainly(Face &face, const QString &text);
    void shapeWithLayout(const QFont &font, const QString &text);
    bool plainChar(Face &face, char16_t c);
    bool plainPair(Face &face, char16_t first, char16_t second);

    std::vector<std::unique_ptr<Face>> m_faces;
    Face *m_lastFace = nullptr;
    ShapedLine m_line;
};

} // namespace report::pdf
