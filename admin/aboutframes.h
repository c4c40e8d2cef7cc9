#pragma once

#include <QImage>
#include <QList>

// The About box's logo animation: a padlock whose key turns once around in 15 steps, drawn
// here rather than loaded, 100 by 72 pixels each.
namespace aboutframes {

inline constexpr int FrameCount = 15;
inline constexpr int FrameWidth = 100;
inline constexpr int FrameHeight = 72;

// Frame 1 to 15; the first shows the lock open, before the key starts turning.
QImage drawFrame(int number);
QList<QImage> drawAllFrames();

} // namespace aboutframes
