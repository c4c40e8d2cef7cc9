#include "report/drawcmds.h"

#include "report/pdfdocument.h"

#include <QGlyphRun>
#include <QHash>
#include <QPaintEngine>
#include <QRawFont>
#include <QPainter>
#include <QTextLayout>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace report {

int dt::toQtFlags(quint16 flags)
{
    int result = 0;
    switch (flags & (Center | Right)) {
    case Center:
        result |= Qt::AlignHCenter;
        break;
    case Right:
        result |= Qt::AlignRight;
        break;
    default:
        result |= Qt::AlignLeft;
        break;
    }
    // The platform centred or bottom-aligned only single lines; wrapped text always starts at
    // the top of its box.
    if (flags & SingleLine) {
        result |= Qt::TextSingleLine;
        if (flags & VCenter)
            result |= Qt::AlignVCenter;
        else if (flags & Bottom)
            result |= Qt::AlignBottom;
        else
            result |= Qt::AlignTop;
    } else {
        result |= Qt::AlignTop;
        if (flags & WordBreak)
            result |= Qt::TextWordWrap;
    }
    if (flags & NoClip)
        result |= Qt::TextDontClip;
    return result;
}

Qt::BrushStyle toQtBrushStyle(TBrushStyle style)
{
    switch (style) {
    case bsSolid:
        return Qt::SolidPattern;
    case bsClear:
        return Qt::NoBrush;
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    }
    return Qt::NoBrush;
}

int roundEven(double value)
{
    // nearbyint rounds in the current rounding mode, which is round-half-to-even.
    return int(std::nearbyint(value));
}

namespace {

// The outlines' boxes of the glyphs of one font, as they are asked for; a report's texts use a
// few dozen glyphs over and over. The font is remembered by its description only: a font
// engine kept past the application's end would be let go after the font system is gone.
const QRectF &glyphBox(const QRawFont &font, quint32 glyph)
{
    struct Face {
        QString family;
        qreal pixelSize = 0;
        int weight = 0;
        QFont::Style style = QFont::StyleNormal;
        bool operator==(const Face &) const = default;
    };
    thread_local Face cachedFace;
    thread_local QHash<quint32, QRectF> boxes;
    const Face face{font.familyName(), font.pixelSize(), font.weight(), font.style()};
    if (!(face == cachedFace)) {
        cachedFace = face;
        boxes.clear();
    }
    auto found = boxes.find(glyph);
    if (found == boxes.end())
        found = boxes.insert(glyph, font.boundingRect(glyph));
    return *found;
}

} // namespace

bool laysOutOnItsOwn(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c.unicode() == 0x9c)
            return true;
    }
    return false;
}

QPointF singleLineCorner(const QRectF &box, int flags, qreal width, qreal height)
{
    QPointF corner = box.topLeft();
    if (flags & Qt::AlignRight)
        corner.rx() += box.width() - width;
    else if (flags & Qt::AlignHCenter)
        corner.rx() += (box.width() - width) / 2;
    if (flags & Qt::AlignBottom)
        corner.ry() += box.height() - height;
    else if (flags & Qt::AlignVCenter)
        corner.ry() += (box.height() - height) / 2;
    return corner;
}

bool drawTextUnclipped(QPainter &canvas, const QRect &rect, int flags, const QString &text)
{
    const QFont &font = canvas.font();
    if (text.isEmpty() || (flags & Qt::TextDontClip) || font.underline() || font.overline() ||
        font.strikeOut() || canvas.layoutDirection() == Qt::RightToLeft || text.isRightToLeft() ||
        laysOutOnItsOwn(text))
        return false;
    const bool wrap = flags & Qt::TextWordWrap;
    QTextOption option;
    option.setWrapMode(wrap ? QTextOption::WordWrap : QTextOption::ManualWrap);
    if (!wrap)
        option.setFlags(QTextOption::IncludeTrailingSpaces);
    QTextLayout layout(text, font);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(wrap ? qMax<qreal>(0, rect.width()) : qreal(0x01000000));
        line.setPosition(QPointF(0, 0));
    }
    const bool oneLine = line.isValid() && line.textLength() == text.size();
    layout.endLayout();
    if (!oneLine)
        return false;
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1)
        return false;
    const QRectF box(rect);
    // Unrounded, as QPainter places a rectangle's lines (QTextLine::height rounds up).
    const QPointF origin = singleLineCorner(box, flags, line.horizontalAdvance(),
                                            line.ascent() + line.descent());
    // A run's own bounding rectangle is the line's box; the marks are the glyphs' outlines.
    const QRawFont rawFont = runs.front().rawFont();
    const QList<quint32> glyphs = runs.front().glyphIndexes();
    const QList<QPointF> positions = runs.front().positions();
    QRectF ink;
    for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
        const QRectF &glyph = glyphBox(rawFont, glyphs[i]);
        if (!glyph.isEmpty())
            ink |= glyph.translated(positions[i]);
    }
    // A device pixel to spare: the boxes come from the hinted glyphs at this size, and a viewer
    // draws the unhinted outlines.
    if (!box.contains(ink.translated(origin).adjusted(-1, -1, 1, 1)))
        return false;
    line.draw(&canvas, origin);
    return true;
}

namespace {

int truncated(double value)
{
    return int(value);
}

// Sets the canvas pen's width for one command and puts the old width back afterwards; the
// pen's colour and style stay the canvas's.
class PenWidthScope
{
public:
    PenWidthScope(QPainter &canvas, int width) : m_canvas(canvas), m_saved(canvas.pen().width())
    {
        setWidth(width);
    }
    ~PenWidthScope() { setWidth(m_saved); }
    PenWidthScope(const PenWidthScope &) = delete;
    PenWidthScope &operator=(const PenWidthScope &) = delete;

private:
    void setWidth(int width)
    {
        QPen pen = m_canvas.pen();
        pen.setWidth(width);
        m_canvas.setPen(pen);
    }

    QPainter &m_canvas;
    int m_saved;
};

// The platform's Rectangle(l, t, r, b): the pen and the fill cover the columns l to r - 1 and
// the rows t to b - 1, never the right and bottom edge themselves.
void gdiRectangle(QPainter &canvas, int l, int t, int r, int b)
{
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    canvas.drawRect(QRect(l, t, r - l - 1, b - t - 1));
}

void gdiEllipse(QPainter &canvas, int l, int t, int r, int b)
{
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    canvas.drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
}

void outline(QPainter &canvas, int x1, int y1, int x2, int y2)
{
    const QPolygon path{QPoint(x1, y1), QPoint(x1, y2), QPoint(x2, y2), QPoint(x2, y1),
                        QPoint(x1, y1)};
    canvas.drawPolyline(path);
}

int pointsToPixels(double scale, int points)
{
    return roundEven(scale * points * (1.0 / 72));
}

void drawTextInColour(QPainter &canvas, const QRect &rect, int flags, const QString &text,
                      const QColor &colour)
{
    if (PdfDocument::drawTextBox(canvas, rect, flags, text, colour))
        return;
    // Only a PDF pays for a clip that cuts nothing; a raster keeps Qt's own way.
    const bool pdf = canvas.paintEngine() && canvas.paintEngine()->type() == QPaintEngine::Pdf;
    const auto draw = [&] {
        if (!pdf || !drawTextUnclipped(canvas, rect, flags, text))
            canvas.drawText(rect, flags, text);
    };
    // Glyphs are filled with the pen's brush and the decorations take their width from the
    // font, so a solid pen of the font's colour draws the text as it is. A PDF writes every
    // pen change into the page, and a report's texts are nearly all in the lines' black.
    const QPen &current = canvas.pen();
    if (current.style() == Qt::SolidLine && current.brush().style() == Qt::SolidPattern &&
        current.color() == colour) {
        draw();
        return;
    }
    // Text takes the font's colour; lines drawn later keep the canvas pen's.
    const QPen saved = current;
    canvas.setPen(colour);
    draw();
    canvas.setPen(saved);
}

// Setting a font, even the same one, gives the painter a new font that looks its glyphs up
// again, and the texts of a page mostly share one: only a different font is set.
void useFont(QPainter &canvas, const QFont &font)
{
    if (canvas.font() != font)
        canvas.setFont(font);
}

// The point font of the last report font asked for: building a QFont from a family name is a
// good part of a text box's cost when thousands of boxes in a row share the font. The font is
// only ever copied into painters, so it holds no font engine of its own at the thread's end.
const QFont &pointFontOf(const ReportFont &font)
{
    thread_local ReportFont last;
    thread_local QFont made = last.toPointFont();
    if (!(font == last)) {
        made = font.toPointFont();
        last = font;
    }
    return made;
}

} // namespace

void TLineCmd::Draw(QPainter &canvas, double Scale) const
{
    PenWidthScope pen(canvas, truncated(PenWidth * Scale));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawLine(QPoint(truncated(X1 * Scale), truncated(Y1 * Scale)),
                    QPoint(truncated(X2 * Scale), truncated(Y2 * Scale)));
}

void TLineCmd::Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX, int OffsetY) const
{
    PenWidthScope pen(canvas, roundEven(PenWidth * (ScaleX + ScaleY) * 0.5));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawLine(QPoint(truncated(X1 * ScaleX) + OffsetX, truncated(Y1 * ScaleY) + OffsetY),
                    QPoint(truncated(X2 * ScaleX) + OffsetX, truncated(Y2 * ScaleY) + OffsetY));
}

void TBoxCmd::Draw(QPainter &canvas, double Scale) const
{
    PenWidthScope pen(canvas, truncated(PenWidth * Scale));
    canvas.setBrush(QBrush(BrushColor, toQtBrushStyle(BrushStyle)));
    const int x1 = truncated(X1 * Scale), y1 = truncated(Y1 * Scale);
    const int x2 = truncated(X2 * Scale), y2 = truncated(Y2 * Scale);
    if (BrushStyle == bsClear)
        outline(canvas, x1, y1, x2, y2);
    else // the screen's filled box reaches its right and bottom edge
        gdiRectangle(canvas, x1, y1, x2 + 1, y2 + 1);
}

void TBoxCmd::Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX, int OffsetY) const
{
    PenWidthScope pen(canvas, roundEven(PenWidth * (ScaleX + ScaleY) * 0.5));
    canvas.setBrush(QBrush(BrushColor, toQtBrushStyle(BrushStyle)));
    const int x1 = truncated(X1 * ScaleX) + OffsetX, y1 = truncated(Y1 * ScaleY) + OffsetY;
    const int x2 = truncated(X2 * ScaleX) + OffsetX, y2 = truncated(Y2 * ScaleY) + OffsetY;
    if (BrushStyle == bsClear)
        outline(canvas, x1, y1, x2, y2);
    else
        gdiRectangle(canvas, x1, y1, x2, y2);
}

void TEllipseCmd::Draw(QPainter &canvas, double Scale) const
{
    PenWidthScope pen(canvas, truncated(PenWidth * Scale));
    canvas.setBrush(QBrush(BrushColor, toQtBrushStyle(BrushStyle)));
    gdiEllipse(canvas, truncated(X1 * Scale), truncated(Y1 * Scale), truncated(X2 * Scale) + 1,
               truncated(Y2 * Scale) + 1);
}

void TEllipseCmd::Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
                        int OffsetY) const
{
    PenWidthScope pen(canvas, roundEven(PenWidth * (ScaleX + ScaleY) * 0.5));
    canvas.setBrush(QBrush(BrushColor, toQtBrushStyle(BrushStyle)));
    gdiEllipse(canvas, truncated(X1 * ScaleX) + OffsetX, truncated(Y1 * ScaleY) + OffsetY,
               truncated(X2 * ScaleX) + OffsetX, truncated(Y2 * ScaleY) + OffsetY);
}

void TTextBoxCmd::Draw(QPainter &canvas, double Scale) const
{
    if (DrawBox)
        TBoxCmd::Draw(canvas, Scale);
    const QFont saved = canvas.font();
    canvas.setFont(Font.toPixelFont(pointsToPixels(Scale, Font.size)));
    canvas.setBrush(Qt::NoBrush);
    // The box is measured at 96 pixels per inch, the font drawn at the zoom's whole pixel size,
    // which can make a line a pixel taller than the box: the clip keeps every pixel the box
    // touches, or an underscore in the last row would come and go from line to line.
    const int left = int(std::floor((X1 + Margin) * Scale));
    const int top = int(std::floor((Y1 + Margin) * Scale));
    const int right = int(std::ceil((X2 - Margin) * Scale));
    const int bottom = int(std::ceil((Y2 - Margin) * Scale));
    drawTextInColour(canvas, QRect(left, top, right - left, bottom - top),
                     dt::toQtFlags(Flags | dt::NoPrefix), Text, Font.color);
    canvas.setFont(saved);
}

void TTextBoxCmd::Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
                        int OffsetY) const
{
    if (DrawBox)
        TBoxCmd::Print(canvas, ScaleX, ScaleY, OffsetX, OffsetY);
    canvas.setBrush(Qt::NoBrush);
    // In points, so that the printer's own resolution fixes the height.
    useFont(canvas, pointFontOf(Font));
    const int left = roundEven((X1 + Margin) * ScaleX) + OffsetX;
    const int top = roundEven((Y1 + Margin) * ScaleY) + OffsetY;
    const int right = roundEven((X2 - Margin) * ScaleX) + OffsetX;
    const int bottom = roundEven((Y2 - Margin) * ScaleY) + OffsetY;
    drawTextInColour(canvas, QRect(left, top, right - left, bottom - top),
                     dt::toQtFlags(Flags | dt::NoPrefix), Text, Font.color);
}

void TRotateTextCmd::render(QPainter &canvas, double scale, int x, int y) const
{
    canvas.save();
    canvas.setFont(Font.toPixelFont(pointsToPixels(scale, Font.size)));
    canvas.setPen(Font.color);
    canvas.translate(x, y);
    // Counter-clockwise on a page whose y axis points down.
    canvas.rotate(-Angle);
    // The origin is the top-left corner of the unrotated text, not its baseline.
    canvas.drawText(QPoint(0, canvas.fontMetrics().ascent()), Text);
    canvas.restore();
    canvas.setBrush(Qt::NoBrush);
}

void TRotateTextCmd::Draw(QPainter &canvas, double Scale) const
{
    render(canvas, Scale, roundEven(X * Scale), roundEven(Y * Scale));
}

void TRotateTextCmd::Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
                           int OffsetY) const
{
    render(canvas, ScaleY, roundEven(X * ScaleX) + OffsetX, roundEven(Y * ScaleY) + OffsetY);
}

namespace {

void stretch(QPainter &canvas, const QImage &image, int x, int y, int x2, int y2)
{
    if (!image.isNull())
        canvas.drawImage(QRect(x, y, x2 - x, y2 - y), image);
}

} // namespace

void TGraphicCmd::Draw(QPainter &canvas, double Scale) const
{
    stretch(canvas, Graphic, roundEven(X1 * Scale), roundEven(Y1 * Scale), roundEven(X2 * Scale),
            roundEven(Y2 * Scale));
}

void TGraphicCmd::Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
                        int OffsetY) const
{
    stretch(canvas, Graphic, roundEven(X1 * ScaleX) + OffsetX, roundEven(Y1 * ScaleY) + OffsetY,
            roundEven(X2 * ScaleX) + OffsetX, roundEven(Y2 * ScaleY) + OffsetY);
}

} // namespace report
