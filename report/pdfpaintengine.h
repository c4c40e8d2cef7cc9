#pragma once

#include "report/pdfdocumentwriter.h"
#include "report/pdftextshaper.h"

#include <QBrush>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

class QPainter;

namespace report::pdf {

class EmbeddedFont;

// The painter's requests as PDF operators in the current page's content. Device coordinates go
// into the page as they are, under one transformation to points at the page's start; what the
// content stream has set (colours, line style, font, opacity, clip) is remembered so that
// only changes are written.
class PaintEngine : public QPaintEngine
{
public:
    PaintEngine(QIODevice &device, QSizeF pagePoints, int dotsPerInch);
    ~PaintEngine() override;

    bool begin(QPaintDevice *device) override;
    bool end() override;
    void updateState(const QPaintEngineState &state) override;

    using QPaintEngine::drawLines;
    using QPaintEngine::drawRects;
    using QPaintEngine::drawEllipse;
    using QPaintEngine::drawPolygon;
    void drawRects(const QRectF *rects, int count) override;
    void drawLines(const QLineF *lines, int count) override;
    void drawEllipse(const QRectF &rect) override;
    void drawPath(const QPainterPath &path) override;
    void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF &rect, const QPixmap &pixmap, const QRectF &source) override;
    void drawImage(const QRectF &rect, const QImage &image, const QRectF &source,
                   Qt::ImageConversionFlags flags) override;
    void drawTextItem(const QPointF &origin, const QTextItem &item) override;
    Type type() const override { return QPaintEngine::User; }

    bool newPage();
    bool finish(const QString &title, const QString &creator);
    QString errorString() const { return m_document.errorString(); }

    bool drawTextBox(const QPainter &painter, const QRect &rect, int flags, const QString &text,
                     const QColor &colour);

private:
    // What the content stream has set since the page's start or the last clip's end.
    struct Written {
        QRgb stroke = 0;
        QRgb fill = 0;
        bool strokeKnown = false;
        bool fillKnown = false;
        QByteArray fillPattern;
        qreal width = -1;
        int cap = -1;
        int join = -1;
        bool dashed = false;
        QList<qreal> dash;
        int opacity = -1; // fill << 8 | stroke
        EmbeddedFont *font = nullptr;
        qreal fontSize = 0;
    };

    void beginPage();
    void endPage();
    void applyClip();
    void closeClip();
    void setStroke();
    void setFillColour(const QColor &colour);
    bool setFill();
    void setOpacity(int fill, int stroke);
    int alphaOf(const QColor &colour) const;
    void appendPoint(const QPointF &point);
    void appendRect(const QRectF &rect);
    void appendPath(const QPainterPath &path);
    // Ends text, applies the clip and sets the pen and, for a shape that can be filled, the
    // brush: `fill` says whether it is filled. False, with nothing begun, when the shape would
    // not show.
    bool beginShape(bool fillable, bool &fill);
    void endShape();
    // Paints what the content holds as a path: filled with the brush, stroked with the pen.
    void paintPath(bool close, bool fill, bool evenOdd);
    void beginTransformed();
    void endTransformed();
    void endText();
    void moveTextTo(QPointF at, const QTransform &matrix);
    // Sets the run's colour and font; false when its face has no font to embed.
    bool prepareRun(const GlyphRun &run, const QColor &colour);
    void emitRun(const GlyphRun &run, QPointF origin, const QTransform &matrix);
    // A line of text, clipped to `clip` when one is given.
    void emitLine(const ShapedLine &line, QPointF origin, const QColor &colour,
                  const QString &text, const QTransform &matrix, const QRectF *clip = nullptr);
    void emitOutlines(const GlyphRun &run, QPointF origin, const QColor &colour,
                      const QTransform &matrix);
    EmbeddedFont *fontOf(const QRawFont &face);

    DocumentWriter m_document;
    QSizeF m_pagePoints;
    double m_textSlack; // how far a glyph may sit from where its font's widths put it, in pixels
    double m_pointsPerPixel;
    QByteArray m_content;
    bool m_pageOpen = false;

    QPen m_pen;
    QBrush m_brush;
    QTransform m_matrix;
    bool m_identity = true;
    qreal m_opacity = 1;
    bool m_clipDirty = true;

    Written m_written;
    bool m_clipOpen = false;
    QPainterPath m_clip;

    // A text object stays open across the lines drawn one after another.
    bool m_textOpen = false;
    bool m_textUpright = false;
    QPointF m_lineStart;

    TextShaper m_shaper;
    QRawFont m_lastFace;
    EmbeddedFont *m_lastFont = nullptr;
    bool m_lastFaceKnown = false;
};

} // namespace report::pdf
