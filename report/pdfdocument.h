#pragma once

#include <QPaintDevice>
#include <QSizeF>
#include <QString>
#include <memory>

class QColor;
class QIODevice;
class QPainter;
class QRect;

namespace report {

namespace pdf {
class PaintEngine;
}

// A PDF file that a painter draws on page by page. Each page goes to the file when the next
// one begins, so a document of any length takes the memory of one page and of its fonts'
// glyph lists. Text goes into the file as strings of glyphs in an embedded subset of its font,
// a line to a string, so that it is found, copied and read aloud; lines, boxes, ellipses,
// solid and hatched fills, paths, images and transparency are drawn as such. Brushes beyond
// solid and hatched (gradients, textures) are left to QPainter, which hands them over as images.
class PdfDocument : public QPaintDevice
{
public:
    PdfDocument(QIODevice &device, QSizeF pageInches, int dotsPerInch);
    ~PdfDocument() override;
    PdfDocument(const PdfDocument &) = delete;
    PdfDocument &operator=(const PdfDocument &) = delete;

    void setTitle(const QString &title) { m_title = title; }
    void setCreator(const QString &creator) { m_creator = creator; }

    // Ends the page drawn so far and begins the next. False when the file could not be written.
    bool newPage();
    // Ends the last page and the document, after the painter has ended. False when anything
    // could not be written; errorString() says why.
    bool finish();
    QString errorString() const;

    QPaintEngine *paintEngine() const override;

    // Draws a text box's text as QPainter::drawText(rect, flags, text) places it, straight into
    // the page and without a clip, when `painter` paints on a PdfDocument and the text is one
    // line that lies inside the box (or the box does not clip). Answers false, having drawn
    // nothing, for any other painter or text.
    static bool drawTextBox(QPainter &painter, const QRect &rect, int flags, const QString &text,
                            const QColor &colour);

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSizeF m_pageInches;
    int m_dotsPerInch;
    QString m_title;
    QString m_creator;
    std::unique_ptr<pdf::PaintEngine> m_engine;
};

} // namespace report
