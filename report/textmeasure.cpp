#include "report/textmeasure.h"

#include "report/reportfont.h"
#include "ui/application.h"

#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <cmath>
#include <optional>

namespace report {

namespace {

// A paint device whose only job is to report the measuring resolution to the font engine.
const QImage &measuringDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = int(std::lround(MeasuringDpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

QString cacheKey(const ReportFont &font)
{
    return font.name + QLatin1Char('|') + QString::number(font.size) + QLatin1Char('|') +
           QLatin1Char(font.bold ? 'b' : '-') + QLatin1Char(font.italic ? 'i' : '-') +
           QLatin1Char(font.underline ? 'u' : '-') + QLatin1Char(font.strikeOut ? 's' : '-');
}

struct Measures {
    QFontMetrics metrics;
    int height; // looked up once: QFontMetrics finds its font engine again for each answer
};

// A report build measures the same few fonts tens of thousands of times.
const Measures &metricsFor(const ReportFont &font)
{
    static QHash<QString, Measures> cache;
    // The faces a report names ("Arial", "Times Roman") must resolve to the same free fonts
    // whether or not the host installed the program's substitutions.
    static const bool substituted = [] {
        ui::Application::installFontSubstitutions();
        return true;
    }();
    Q_UNUSED(substituted);
    // A layout asks for the same font many times in a row: that answer needs no key at all.
    static ReportFont recentFont;
    static std::optional<Measures> recentMetrics;
    if (recentMetrics && font == recentFont)
        return *recentMetrics;
    const QString key = cacheKey(font);
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        QFont qfont = font.toPointFont();
        qfont.setHintingPreference(QFont::PreferNoHinting);
        const QFontMetrics metrics(qfont, &measuringDevice());
        it = cache.insert(key, Measures{metrics, metrics.height()});
    }
    recentFont = font;
    recentMetrics = *it;
    return *recentMetrics;
}

} // namespace

double textHeightInches(const ReportFont &font)
{
    return double(metricsFor(font).height) / MeasuringDpi;
}

double textWidthInches(const ReportFont &font, const QString &text)
{
    return double(metricsFor(font).metrics.horizontalAdvance(text)) / MeasuringDpi;
}

} // namespace report
