#pragma once

#include <QString>

class QFont;
class QLabel;
class QWidget;

// The small pieces every window of the kit is built from, in one place: the windows keep the
// fixed layout their users know, in the face the old framework gave them.
namespace formkit {

// A label placed where the form has it, just as wide as its text. A label whose caption is
// replaced later is given its `width`, since a label outside a layout does not grow with a
// longer text. A label that names an input is its buddy: Alt and the underlined letter reach
// the input, and screen readers announce the input by the label's text.
QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y,
                   int width = 0, QWidget *buddy = nullptr);

// Makes `label` the buddy of `input` and names the input after it for screen readers (the
// caption without "&" and final ":"), unless it has a name already.
void nameByLabel(QWidget *input, QLabel *label);
// A caption as a screen reader should say it: "&Password:" gives "Password".
QString accessibleText(const QString &caption);

// Windows open centred on the screen, not over their opener.
void centreOnScreen(QWidget *window);

enum class Weight { Regular, Bold };
// The dialogs' 8-point "MS Sans Serif" (mapped to a free face at start-up).
QFont dialogFont(Weight weight);
void applyDialogFont(QWidget *widget, Weight weight);

} // namespace formkit
