#pragma once

#include <QIcon>

// The 15 by 12 pixel arrows of the buttons that move a line from one list to the other, with a
// normal and a greyed, embossed look for the disabled button.
QIcon leftArrowGlyph();
QIcon rightArrowGlyph();
