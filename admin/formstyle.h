#pragma once

class QWidget;

// The look the desktop's windows share.
namespace formstyle {

// Bold 8-point "MS Sans Serif" (mapped to a free font at start-up).
void applyDialogFont(QWidget *widget);
// A dialog border: the client area has this size and cannot be resized.
void fixClientSize(QWidget *widget, int width, int height);

} // namespace formstyle
