#include "report/reportfont.h"

#include "report/textmeasure.h"

#include <cmath>

namespace report {

namespace {

QFont styled(const ReportFont &source)
{
    QFont font(source.name);
    font.setBold(source.bold);
    font.setItalic(source.italic);
    font.setUnderline(source.underline);
    font.setStrikeOut(source.strikeOut);
    return font;
}

} // namespace

QFont ReportFont::toPointFont() const
{
    QFont font = styled(*this);
    font.setPointSize(size > 0 ? size : 1);
    return font;
}

QFont ReportFont::toPixelFont(int pixelHeight) const
{
    QFont font = styled(*this);
    // A height of 0 would ask the platform for "some default size"; the smallest real
    // height is the honest answer for a page zoomed far out.
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 1);
    return font;
}

void ReportFont::setPixelHeight(int pixels)
{
    size = (pixels * 72 + MeasuringDpi / 2) / MeasuringDpi;
}

ReportFont ReportFont::fromQFont(const QFont &font, const QColor &color)
{
    ReportFont result;
    result.name = font.family();
    if (font.pointSizeF() > 0)
        result.size = int(std::lround(font.pointSizeF()));
    else
        result.setPixelHeight(font.pixelSize());
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikeOut = font.strikeOut();
    result.color = color;
    return result;
}

} // namespace report
