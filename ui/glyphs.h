#pragma once

#include <QIcon>
#include <QSize>

class QColor;
class QPainter;

// The glyphs on the program's buttons, drawn rather than loaded so that they scale with the
// screen, and the pieces they share: the page outline and the old toolkits' disabled look.
namespace glyphs {

// Draws a page with a folded corner from `left` (a half-pixel line position) across ten pixels,
// from row 1.5 to 14.5: the lines in `ink`, the sheet filled with `paper`.
void drawPage(QPainter &painter, double left, const QColor &ink, const QColor &paper);

// The preview navigator's buttons ("BTN1" to "BTN5"). The page buttons and the clear button
// carry a second, greyed and embossed picture for their disabled state.
QIcon navigator(int buttonIndex);
QIcon abort();

// The desktop's tool bar.
QIcon newDatabase();
QIcon openDatabase();
QIcon reports();
QIcon setup();
QIcon generate();
QIcon help();

// The 15 by 12 pixel arrows of the buttons that move a line from one list to the other, with a
// normal and a greyed, embossed look for the disabled button.
inline constexpr QSize ArrowSize(15, 12);
QIcon leftArrow();
QIcon rightArrow();

} // namespace glyphs
