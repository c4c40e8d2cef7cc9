#include "report/pdfdocument.h"

#include "report/pdfpaintengine.h"

#include <QPainter>
#include <climits>
#include <cmath>

namespace report {

PdfDocument::PdfDocument(QIODevice &device, QSizeF pageInches, int dotsPerInch)
    : m_pageInches(pageInches),
      m_dotsPerInch(dotsPerInch),
      m_engine(std::make_unique<pdf::PaintEngine>(device, pageInches * 72, dotsPerInch))
{
}

PdfDocument::~PdfDocument() = default;

bool PdfDocument::newPage()
{
    return m_engine->newPage();
}

bool PdfDocument::finish()
{
    return m_engine->finish(m_title, m_creator);
}

QString PdfDocument::errorString() const
{
    return m_engine->errorString();
}

QPaintEngine *PdfDocument::paintEngine() const
{
    return m_engine.get();
}

bool PdfDocument::drawTextBox(QPainter &painter, const QRect &rect, int flags, const QString &text,
                              const QColor &colour)
{
    // Every text box of the preview and of images asks too: the engine's type answers them
    // before any cast.
    QPaintEngine *engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::User)
        return false;
    auto *pdf = dynamic_cast<pdf::PaintEngine *>(engine);
    return pdf && pdf->drawTextBox(painter, rect, flags, text, colour);
}

int PdfDocument::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return int(std::lround(m_pageInches.width() * m_dotsPerInch));
    case PdmHeight:
        return int(std::lround(m_pageInches.height() * m_dotsPerInch));
    case PdmWidthMM:
        return int(std::lround(m_pageInches.width() * 25.4));
    case PdmHeightMM:
        return int(std::lround(m_pageInches.height() * 25.4));
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_dotsPerInch;
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}

} // namespace report
