#pragma once

#include <QIcon>

// The tool bar's glyphs, drawn rather than loaded so that they scale with the screen.
namespace toolglyphs {

QIcon newDatabase();
QIcon openDatabase();
QIcon reports();
QIcon setup();
QIcon generate();
QIcon help();

} // namespace toolglyphs
