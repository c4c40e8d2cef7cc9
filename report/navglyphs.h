#pragma once

#include <QIcon>

// The navigator's button glyphs ("BTN1" to "BTN5"), drawn by the program. The page buttons and
// the clear button carry a second, greyed and embossed picture for their disabled state.
namespace report {

QIcon navigatorGlyph(int buttonIndex);
QIcon abortGlyph();

} // namespace report
