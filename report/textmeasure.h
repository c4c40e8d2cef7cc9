#pragma once

#include <QString>

namespace report {

struct ReportFont;

// Layout measures text at a fixed 96 pixels per inch, not at whatever the screen reports:
// a report must break its pages at the same records on every machine, in a test run under the
// offscreen platform and in the command-line tool without any screen. Outline hinting is left
// out for the same reason (it depends on the platform's font settings). With the program's font
// substitutions the same font files answer everywhere, so the same text gives the same inches.
inline constexpr int MeasuringDpi = 96;

// The height of a line of text in the font (ascent plus descent, whole pixels at the measuring
// resolution), in inches. Like the platform's text extent, it does not depend on the text.
double textHeightInches(const ReportFont &font);
// The advance width of the text on one line, in whole pixels at the measuring resolution, in
// inches.
double textWidthInches(const ReportFont &font, const QString &text);

} // namespace report
