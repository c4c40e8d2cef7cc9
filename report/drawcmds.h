#pragma once

#include "report/reportfont.h"

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;

namespace report {

// The text format flags a text box records, with the meaning the platform's DrawText gave them.
namespace dt {
inline constexpr quint16 Left = 0;
inline constexpr quint16 Center = 1;
inline constexpr quint16 Right = 2;
inline constexpr quint16 VCenter = 4;
inline constexpr quint16 Bottom = 8;
inline constexpr quint16 WordBreak = 16;
inline constexpr quint16 SingleLine = 32;
inline constexpr quint16 NoClip = 256;
inline constexpr quint16 NoPrefix = 2048;

// The same request as QPainter::drawText flags. An ampersand is never a mnemonic there, so
// NoPrefix needs no flag of its own.
int toQtFlags(quint16 flags);
} // namespace dt

// Brush styles in the order of the framework the reports were designed with.
enum TBrushStyle : quint8 {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross,
};

Qt::BrushStyle toQtBrushStyle(TBrushStyle style);

// Whether the text holds a break, a tab or the length-variant separator, which lay out in
// ways of their own, so that the text cannot be taken for one line without QPainter's layout.
bool laysOutOnItsOwn(const QString &text);

// Where QPainter::drawText(rect, flags, ...) puts the top-left corner of a single line of the
// given advance and height (ascent plus descent, unrounded, as QPainter places them).
QPointF singleLineCorner(const QRectF &box, int flags, qreal width, qreal height);

// Draws the text as QPainter::drawText(rect, flags, text) lays it out, but without clipping to
// the rectangle, when it makes a single line in one font whose glyphs all lie inside it: the
// clip would cut nothing, and a PDF clips with a saved and restored graphics state, which
// costs as much as the text and writes the whole state into the page again. Anything else
// (several lines, right-to-left text, tabs, fallback fonts, underlined or struck-out fonts,
// glyphs reaching outside the rectangle) draws nothing and answers false.
bool drawTextUnclipped(QPainter &canvas, const QRect &rect, int flags, const QString &text);

// Round half to even, as the page arithmetic has always rounded.
int roundEven(double value);

// One recorded drawing request of a report page, in inches from the page's top-left corner.
// Draw renders it on the preview at Scale pixels per inch; Print renders it on a printer (or a
// PDF, or an image) at its resolution, with the offsets added to every device coordinate.
class TDrawCmd
{
public:
    virtual ~TDrawCmd() = default;

    virtual void Draw(QPainter &canvas, double Scale) const = 0;
    virtual void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
                       int OffsetY) const = 0;

    int Page = 0;

protected:
    TDrawCmd() = default;
};

class TLineCmd : public TDrawCmd
{
public:
    void Draw(QPainter &canvas, double Scale) const override;
    void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
               int OffsetY) const override;

    double X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
    double PenWidth = 0;
};

class TBoxCmd : public TDrawCmd
{
public:
    void Draw(QPainter &canvas, double Scale) const override;
    void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
               int OffsetY) const override;

    double X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
    double PenWidth = 0;
    TBrushStyle BrushStyle = bsClear;
    QColor BrushColor = QColor(0xFF, 0xFF, 0xFF);
};

class TEllipseCmd : public TBoxCmd
{
public:
    void Draw(QPainter &canvas, double Scale) const override;
    void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
               int OffsetY) const override;
};

class TTextBoxCmd : public TBoxCmd
{
public:
    void Draw(QPainter &canvas, double Scale) const override;
    void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
               int OffsetY) const override;

    double Margin = 0;
    bool DrawBox = false;
    QString Text;
    ReportFont Font;
    quint16 Flags = 0;
};

class TRotateTextCmd : public TDrawCmd
{
public:
    void Draw(QPainter &canvas, double Scale) const override;
    void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
               int OffsetY) const override;

    double X = 0, Y = 0;
    QString Text;
    ReportFont Font;
    double Angle = 0; // degrees, counter-clockwise

private:
    void render(QPainter &canvas, double scale, int x, int y) const;
};

class TGraphicCmd : public TDrawCmd
{
public:
    void Draw(QPainter &canvas, double Scale) const override;
    void Print(QPainter &canvas, double ScaleX, double ScaleY, int OffsetX,
               int OffsetY) const override;

    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    QImage Graphic; // the command's own copy
};

} // namespace report
