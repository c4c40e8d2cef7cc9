#pragma once

class QWidget;

// The look the desktop's windows share.
namespace formstyle {

// The program's name and version, as settings and --version use them. No display name is
// set: the window system would append it to every caption, and the captions are the windows'
// own texts ("Add New Access Constant", "Error"), whole in the title bar.
void identifyProgram();
// A dialog border: the client area has this size and cannot be resized.
void fixClientSize(QWidget *widget, int width, int height);

} // namespace formstyle
