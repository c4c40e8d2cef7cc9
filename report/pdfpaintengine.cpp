#include "report/pdfpaintengine.h"

#include "report/drawcmds.h"
#include "report/pdffont.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTextItem>
#include <QVarLengthArray>
#include <cmath>

namespace report::pdf {

namespace {

QPaintEngine::PaintEngineFeatures features()
{
    // No gradients, brush textures or transformed patterns, and no pens painted with a brush:
    // QPainter draws those itself and hands them over as images.
    return QPaintEngine::PrimitiveTransform | QPaintEngine::PixmapTransform |
           QPaintEngine::PatternBrush | QPaintEngine::AlphaBlend | QPaintEngine::PainterPaths |
           QPaintEngine::Antialiasing | QPaintEngine::ConstantOpacity;
}

void appendColour(QByteArray &out, QRgb rgb)
{
    appendNumber(out, qRed(rgb) / 255.0);
    out.append(' ');
    appendNumber(out, qGreen(rgb) / 255.0);
    out.append(' ');
    appendNumber(out, qBlue(rgb) / 255.0);
}

void appendMatrix(QByteArray &out, qreal a, qreal b, qreal c, qreal d, qreal e, qreal f)
{
    for (const qreal value : {a, b, c, d, e, f}) {
        appendNumber(out, value);
        out.append(' ');
    }
}

// A glyph number as the two bytes of a literal string: half the size of hex. The string's
// delimiters and the escape are escaped; so is a carriage return, which a reader would take
// for a line end.
using GlyphBytes = QVarLengthArray<char, 256>;

void appendGlyph(GlyphBytes &out, quint32 glyph)
{
    for (const char byte : {char(glyph >> 8), char(glyph)}) {
        if (byte == '(' || byte == ')' || byte == '\\') {
            out.append('\\');
            out.append(byte);
        } else if (byte == '\r') {
            out.append('\\');
            out.append('r');
        } else {
            out.append(byte);
        }
    }
}

bool isHatch(Qt::BrushStyle style)
{
    return style >= Qt::HorPattern && style <= Qt::DiagCrossPattern;
}

} // namespace

PaintEngine::PaintEngine(QIODevice &device, QSizeF pagePoints, int dotsPerInch)
    : QPaintEngine(features()),
      m_document(device, pagePoints),
      m_pagePoints(pagePoints),
      m_textSlack(0.1 * dotsPerInch / 72.0),
      m_pointsPerPixel(72.0 / dotsPerInch)
{
}

PaintEngine::~PaintEngine() = default;

bool PaintEngine::begin(QPaintDevice *)
{
    // A write that failed already is reported by the first new page or the document's end,
    // with the file's own words.
    if (!m_pageOpen)
        beginPage();
    setActive(true);
    return true;
}

bool PaintEngine::end()
{
    setActive(false);
    return !m_document.failed();
}

void PaintEngine::beginPage()
{
    m_content.clear();
    m_content.reserve(16384);
    m_written = Written{};
    m_written.opacity = 255 << 8 | 255;
    m_clipOpen = false;
    m_clip = QPainterPath();
    m_clipDirty = true;
    m_textOpen = false;
    m_content.append("q ");
    appendMatrix(m_content, m_pointsPerPixel, 0, 0, -m_pointsPerPixel, 0, m_pagePoints.height());
    m_content.append("cm\n");
    m_pageOpen = true;
}

void PaintEngine::endPage()
{
    endText();
    if (m_clipOpen)
        m_content.append("Q\n");
    m_content.append("Q\n");
    m_document.writePage(m_content);
    m_pageOpen = false;
}

bool PaintEngine::newPage()
{
    endPage();
    beginPage();
    return !m_document.failed();
}

bool PaintEngine::finish(const QString &title, const QString &creator)
{
    if (m_pageOpen)
        endPage();
    return m_document.finish(title, creator);
}

void PaintEngine::updateState(const QPaintEngineState &state)
{
    const DirtyFlags dirty = state.state();
    if (dirty & DirtyPen)
        m_pen = state.pen();
    if (dirty & DirtyBrush)
        m_brush = state.brush();
    if (dirty & DirtyTransform) {
        m_matrix = state.transform();
        m_identity = m_matrix.isIdentity();
    }
    if (dirty & DirtyOpacity)
        m_opacity = state.opacity();
    if (dirty & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled))
        m_clipDirty = true;
}

void PaintEngine::closeClip()
{
    if (!m_clipOpen)
        return;
    endText();
    // The clip's end gives back the state from before it: nothing set since is known to hold.
    m_content.append("Q\n");
    m_clipOpen = false;
    m_clip = QPainterPath();
    m_written = Written{};
}

void PaintEngine::applyClip()
{
    if (!m_clipDirty)
        return;
    m_clipDirty = false;
    QPainterPath clip;
    if (painter() && painter()->hasClipping())
        clip = painter()->deviceTransform().map(painter()->clipPath());
    if (clip == m_clip && m_clipOpen == !clip.isEmpty())
        return;
    closeClip();
    if (!painter() || !painter()->hasClipping())
        return;
    endText();
    m_content.append("q ");
    if (clip.isEmpty())
        clip.addRect(QRectF()); // a clip that leaves nothing
    appendPath(clip);
    m_content.append(clip.fillRule() == Qt::OddEvenFill ? "W* n\n" : "W n\n");
    m_clipOpen = true;
    m_clip = clip;
}

int PaintEngine::alphaOf(const QColor &colour) const
{
    return qBound(0, int(std::lround(colour.alpha() * m_opacity)), 255);
}

void PaintEngine::setOpacity(int fill, int stroke)
{
    const int key = fill << 8 | stroke;
    if (m_written.opacity == key)
        return;
    m_content.append(m_document.opacity(fill, stroke)).append(" gs ");
    m_written.opacity = key;
}

void PaintEngine::setStroke()
{
    const QRgb rgb = m_pen.color().rgb();
    if (!m_written.strokeKnown || m_written.stroke != rgb) {
        appendColour(m_content, rgb);
        m_content.append(" RG ");
        m_written.stroke = rgb;
        m_written.strokeKnown = true;
    }
    const qreal width = m_pen.widthF();
    if (width != m_written.width) {
        appendNumber(m_content, width);
        m_content.append(" w ");
        m_written.width = width;
    }
    const int cap = m_pen.capStyle() == Qt::RoundCap ? 1 : m_pen.capStyle() == Qt::SquareCap ? 2 : 0;
    if (cap != m_written.cap) {
        appendInteger(m_content, cap);
        m_content.append(" J ");
        m_written.cap = cap;
    }
    const int join =
        m_pen.joinStyle() == Qt::RoundJoin ? 1 : m_pen.joinStyle() == Qt::BevelJoin ? 2 : 0;
    if (join != m_written.join) {
        appendInteger(m_content, join);
        m_content.append(" j ");
        m_written.join = join;
    }
    const bool dashed = m_pen.style() != Qt::SolidLine;
    // Qt gives the dashes in pen widths; a hairline's are in pixels.
    QList<qreal> dash;
    if (dashed) {
        const qreal unit = width > 0 ? width : 1;
        for (const qreal length : m_pen.dashPattern())
            dash.append(length * unit);
    }
    if (dashed != m_written.dashed || dash != m_written.dash) {
        m_content.append('[');
        for (qsizetype i = 0; i < dash.size(); ++i) {
            if (i > 0)
                m_content.append(' ');
            appendNumber(m_content, dash[i]);
        }
        m_content.append("]0 d ");
        m_written.dashed = dashed;
        m_written.dash = dash;
    }
}

void PaintEngine::setFillColour(const QColor &colour)
{
    const QRgb rgb = colour.rgb();
    if (m_written.fillKnown && m_written.fillPattern.isEmpty() && m_written.fill == rgb)
        return;
    appendColour(m_content, rgb);
    m_content.append(" rg ");
    m_written.fill = rgb;
    m_written.fillKnown = true;
    m_written.fillPattern.clear();
}

bool PaintEngine::setFill()
{
    const Qt::BrushStyle style = m_brush.style();
    if (style == Qt::NoBrush)
        return false;
    if (!isHatch(style)) {
        // Solid, and the dense patterns, which no report uses, filled in their colour.
        setFillColour(m_brush.color());
        return true;
    }
    const QByteArray pattern = m_document.hatch(style);
    const QRgb rgb = m_brush.color().rgb();
    if (m_written.fillKnown && m_written.fillPattern == pattern && m_written.fill == rgb)
        return true;
    m_content.append("/PCS cs ");
    appendColour(m_content, rgb);
    m_content.append(' ').append(pattern).append(" scn ");
    m_written.fill = rgb;
    m_written.fillKnown = true;
    m_written.fillPattern = pattern;
    return true;
}

void PaintEngine::appendPoint(const QPointF &point)
{
    appendNumber(m_content, point.x());
    m_content.append(' ');
    appendNumber(m_content, point.y());
}

void PaintEngine::appendRect(const QRectF &rect)
{
    appendPoint(rect.topLeft());
    m_content.append(' ');
    appendNumber(m_content, rect.width());
    m_content.append(' ');
    appendNumber(m_content, rect.height());
    m_content.append(" re ");
}

void PaintEngine::appendPath(const QPainterPath &path)
{
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            appendPoint(element);
            m_content.append(" m ");
            break;
        case QPainterPath::LineToElement:
            appendPoint(element);
            m_content.append(" l ");
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                appendPoint(element);
                m_content.append(' ');
                appendPoint(path.elementAt(i + 1));
                m_content.append(' ');
                appendPoint(path.elementAt(i + 2));
                m_content.append(" c ");
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
}

void PaintEngine::beginTransformed()
{
    if (m_identity)
        return;
    m_content.append("q ");
    appendMatrix(m_content, m_matrix.m11(), m_matrix.m12(), m_matrix.m21(), m_matrix.m22(),
                 m_matrix.dx(), m_matrix.dy());
    m_content.append("cm ");
}

void PaintEngine::endTransformed()
{
    if (!m_identity)
        m_content.append("Q");
}

void PaintEngine::paintPath(bool close, bool fill, bool evenOdd)
{
    const bool stroke = m_pen.style() != Qt::NoPen;
    if (close)
        m_content.append("h ");
    if (fill && stroke)
        m_content.append(evenOdd ? "B*" : "B");
    else if (fill)
        m_content.append(evenOdd ? "f*" : "f");
    else if (stroke)
        m_content.append("S");
    else
        m_content.append("n");
}

bool PaintEngine::beginShape(bool fillable, bool &fill)
{
    endText();
    applyClip();
    const bool stroke = m_pen.style() != Qt::NoPen;
    if (stroke)
        setStroke();
    fill = fillable && setFill();
    if (!fill && !stroke)
        return false;
    setOpacity(fill ? alphaOf(m_brush.color()) : 255, stroke ? alphaOf(m_pen.color()) : 255);
    beginTransformed();
    return true;
}

void PaintEngine::endShape()
{
    endTransformed();
    m_content.append('\n');
}

void PaintEngine::drawRects(const QRectF *rects, int count)
{
    bool fill = false;
    if (!beginShape(true, fill))
        return;
    for (int i = 0; i < count; ++i) {
        appendRect(rects[i]);
        paintPath(false, fill, false);
        m_content.append(' ');
    }
    endShape();
}

void PaintEngine::drawLines(const QLineF *lines, int count)
{
    bool fill = false;
    if (!beginShape(false, fill))
        return;
    for (int i = 0; i < count; ++i) {
        appendPoint(lines[i].p1());
        m_content.append(" m ");
        appendPoint(lines[i].p2());
        m_content.append(" l ");
    }
    m_content.append('S');
    endShape();
}

void PaintEngine::drawEllipse(const QRectF &rect)
{
    QPainterPath path;
    path.addEllipse(rect);
    drawPath(path);
}

void PaintEngine::drawPath(const QPainterPath &path)
{
    bool fill = false;
    if (!beginShape(true, fill))
        return;
    appendPath(path);
    paintPath(false, fill, path.fillRule() == Qt::OddEvenFill);
    endShape();
}

void PaintEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode)
{
    bool fill = false;
    if (count < 2 || !beginShape(mode != PolylineMode, fill))
        return;
    appendPoint(points[0]);
    m_content.append(" m ");
    for (int i = 1; i < count; ++i) {
        appendPoint(points[i]);
        m_content.append(" l ");
    }
    paintPath(mode != PolylineMode, fill, mode == OddEvenMode);
    endShape();
}

void PaintEngine::drawPixmap(const QRectF &rect, const QPixmap &pixmap, const QRectF &source)
{
    drawImage(rect, pixmap.toImage(), source, Qt::AutoColor);
}

void PaintEngine::drawImage(const QRectF &rect, const QImage &image, const QRectF &source,
                            Qt::ImageConversionFlags)
{
    if (image.isNull() || rect.isEmpty())
        return;
    endText();
    applyClip();
    const QRect whole = image.rect();
    const QRect part = source.toAlignedRect() & whole;
    if (part.isEmpty())
        return;
    const QByteArray name = m_document.image(part == whole ? image : image.copy(part));
    setOpacity(alphaOf(QColor(0, 0, 0)), m_written.opacity & 0xFF);
    m_content.append("q ");
    if (!m_identity) {
        appendMatrix(m_content, m_matrix.m11(), m_matrix.m12(), m_matrix.m21(), m_matrix.m22(),
                     m_matrix.dx(), m_matrix.dy());
        m_content.append("cm ");
    }
    // An image fills the unit square with its first row at the top, which is y 1 there and
    // the rectangle's top here.
    appendMatrix(m_content, rect.width(), 0, 0, -rect.height(), rect.left(), rect.bottom());
    m_content.append("cm ").append(name).append(" Do Q\n");
}

EmbeddedFont *PaintEngine::fontOf(const QRawFont &face)
{
    if (m_lastFaceKnown && face == m_lastFace)
        return m_lastFont;
    m_lastFace = face;
    m_lastFont = m_document.font(face);
    m_lastFaceKnown = true;
    return m_lastFont;
}

void PaintEngine::emitOutlines(const GlyphRun &run, QPointF origin, const QColor &colour,
                               const QTransform &matrix)
{
    // A face that cannot be embedded still shows: its glyphs become filled outlines.
    QPainterPath outlines;
    for (qsizetype i = 0; i < run.glyphs.size(); ++i)
        outlines.addPath(run.face.pathForGlyph(run.glyphs[i]).translated(origin + run.positions[i]));
    setFillColour(colour);
    setOpacity(alphaOf(colour), m_written.opacity & 0xFF);
    appendPath(matrix.map(outlines));
    m_content.append("f\n");
}

void PaintEngine::endText()
{
    if (!m_textOpen)
        return;
    m_content.append("ET\n");
    m_textOpen = false;
}

void PaintEngine::moveTextTo(QPointF at, const QTransform &matrix)
{
    // Text space is the device's with y turned up again, so that glyphs stand upright; an
    // upright line moves from the last line's start, which keeps a page's numbers short.
    const bool upright = matrix.isIdentity();
    if (!m_textOpen) {
        m_content.append("BT ");
        m_textOpen = true;
        m_textUpright = false;
    }
    if (upright && m_textUpright) {
        appendNumber(m_content, at.x() - m_lineStart.x());
        m_content.append(' ');
        appendNumber(m_content, m_lineStart.y() - at.y());
        m_content.append(" Td");
    } else {
        appendMatrix(m_content, matrix.m11(), matrix.m12(), -matrix.m21(), -matrix.m22(), at.x(),
                     at.y());
        m_content.append("Tm");
    }
    m_textUpright = upright;
    m_lineStart = at;
}

bool PaintEngine::prepareRun(const GlyphRun &run, const QColor &colour)
{
    EmbeddedFont *font = fontOf(run.face);
    if (!font)
        return false;
    setFillColour(colour);
    setOpacity(alphaOf(colour), m_written.opacity & 0xFF);
    const qreal size = run.face.pixelSize();
    if (m_written.font != font || m_written.fontSize != size) {
        m_content.append(font->resourceName()).append(' ');
        appendNumber(m_content, size);
        m_content.append(" Tf ");
        m_written.font = font;
        m_written.fontSize = size;
    }
    return true;
}

void PaintEngine::emitRun(const GlyphRun &run, QPointF origin, const QTransform &matrix)
{
    EmbeddedFont *font = m_written.font;
    const qreal perUnit = m_written.fontSize / 1000;
    moveTextTo(matrix.map(origin + run.positions[0]), matrix);
    m_content.append("[(");
    GlyphBytes bytes;
    const auto flush = [&] {
        m_content.append(bytes.constData(), bytes.size());
        bytes.clear();
    };
    qreal pen = run.positions[0].x();
    const qreal baseline = run.positions[0].y();
    for (qsizetype i = 0; i < run.glyphs.size(); ++i) {
        const quint32 glyph = run.glyphs[i];
        const QPointF at = run.positions[i];
        if (i > 0) {
            if (std::abs(at.y() - baseline) > m_textSlack) {
                flush();
                m_content.append(")]TJ ");
                moveTextTo(matrix.map(origin + at), matrix);
                m_content.append("[(");
                pen = at.x();
            } else if (std::abs(at.x() - pen) > m_textSlack) {
                // Kerning, or a layout's own spacing: moved to where the layout put it.
                flush();
                m_content.append(')');
                appendNumber(m_content, (pen - at.x()) / perUnit);
                m_content.append('(');
                pen = at.x();
            }
        }
        appendGlyph(bytes, glyph);
        font->use(glyph, run.glyphText[i]);
        pen += font->advance(glyph) * perUnit;
    }
    flush();
    m_content.append(")]TJ\n");
}

void PaintEngine::emitLine(const ShapedLine &line, QPointF origin, const QColor &colour,
                           const QString &text, const QTransform &matrix, const QRectF *clip)
{
    if (line.runs.isEmpty())
        return;
    // A line whose glyphs cannot all be traced to their characters carries its text as a
    // whole, for search and copy.
    if (!line.traced) {
        endText();
        m_content.append("/Span<</ActualText ").append(textString(text)).append(">>BDC\n");
    }
    Written beforeClip;
    if (clip) {
        endText();
        // The first run's colour and font are set outside the clip, so that they outlive it
        // and the next line need not set them again.
        prepareRun(line.runs.front(), colour);
        beforeClip = m_written;
        m_content.append("q ");
        appendRect(*clip);
        m_content.append("W n ");
    }
    for (const GlyphRun &run : line.runs) {
        if (run.glyphs.isEmpty())
            continue;
        if (prepareRun(run, colour)) {
            emitRun(run, origin, matrix);
        } else {
            endText();
            emitOutlines(run, origin, colour, matrix);
        }
    }
    if (clip) {
        endText();
        m_content.append("Q\n");
        m_written = beforeClip;
    }
    if (!line.traced) {
        endText();
        m_content.append("EMC\n");
    }
}

void PaintEngine::drawTextItem(const QPointF &origin, const QTextItem &item)
{
    const QString text = item.text();
    if (text.isEmpty())
        return;
    applyClip();
    emitLine(m_shaper.shape(item.font(), text), origin, m_pen.color(), text, m_matrix);
}

bool PaintEngine::drawTextBox(const QPainter &painter, const QRect &rect, int flags,
                              const QString &text, const QColor &colour)
{
    const QFont &font = painter.font();
    if (text.isEmpty() || painter.hasClipping() || !painter.deviceTransform().isIdentity() ||
        painter.opacity() != 1 || painter.layoutDirection() == Qt::RightToLeft ||
        font.underline() || font.overline() || font.strikeOut())
        return false;
    const ShapedLine &line = m_shaper.shape(font, text);
    // Plain lines hold none of these.
    if (!line.plain && (text.isRightToLeft() || laysOutOnItsOwn(text)))
        return false;
    // A wrapped line leaves its trailing blanks out of its width.
    if ((flags & Qt::TextWordWrap) && (line.width > rect.width() || text.back().isSpace()))
        return false;
    const QRectF box(rect);
    const QPointF origin = singleLineCorner(box, flags, line.width, line.ascent + line.descent) +
                           QPointF(0, line.ascent);
    // A device pixel to spare: the boxes come from the hinted glyphs at this size, and a viewer
    // draws the unhinted outlines. A line reaching out of its box is clipped to it, as
    // QPainter clips it; one that stays inside needs no clip, which would cost as much as the
    // text.
    const bool inside = (flags & Qt::TextDontClip) ||
                        box.contains(line.ink.translated(origin).adjusted(-1, -1, 1, 1));
    closeClip();
    emitLine(line, origin, colour, text, QTransform(), inside ? nullptr : &box);
    return true;
}

} // namespace report::pdf
