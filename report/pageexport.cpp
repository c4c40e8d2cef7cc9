#include "report/pageexport.h"

#include "dbe/safefilewriter.h"
#include "report/pagerecorder.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace report {

namespace {

PageRange wholeReportIfEmpty(PageRange range, const PageRecorder &pages)
{
    if (range.first == 0 && range.last == 0)
        return {1, pages.PageCount()};
    return range;
}

QString checkRange(PageRange range, const PageRecorder &pages)
{
    if (range.first < 1 || range.last > pages.PageCount() || range.first > range.last)
        return QStringLiteral("Pages %1 to %2 are not pages of the report (1 to %3).")
            .arg(range.first)
            .arg(range.last)
            .arg(pages.PageCount());
    return {};
}

QPageLayout layoutOf(const PageRecorder &pages)
{
    const double width = pages.PageWidth();
    const double height = pages.PageHeight();
    const QPageSize size(QSizeF(std::min(width, height), std::max(width, height)), QPageSize::Inch);
    return QPageLayout(size, width > height ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

} // namespace

ExportResult exportPdf(const PageRecorder &pages, const QString &fileName, PageRange range,
                       int dotsPerInch)
{
    ExportResult result;
    range = wholeReportIfEmpty(range, pages);
    result.error = checkRange(range, pages);
    if (!result.error.isEmpty())
        return result;
    dbe::SafeFileWriter file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(dotsPerInch);
        writer.setPageLayout(layoutOf(pages));
        writer.setCreator(QStringLiteral("VeskSecure"));
        writer.setTitle(QFileInfo(fileName).completeBaseName());
        QPainter painter;
        if (!painter.begin(&writer)) {
            result.error = QStringLiteral("Cannot start a PDF document in %1.").arg(fileName);
            return result;
        }
        preparePainter(painter);
        ReplayTarget target;
        target.painter = &painter;
        target.scaleX = writer.logicalDpiX();
        target.scaleY = writer.logicalDpiY();
        target.newPage = [&writer] { return writer.newPage(); };
        const bool complete = replayPages(pages, target, range, CopyPlan{});
        painter.end();
        if (!complete) {
            result.error =
                QStringLiteral("The PDF document %1 could not be completed.").arg(fileName);
            return result;
        }
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    result.files.append(fileName);
    return result;
}

QStringList pngFileNames(const QString &fileName, PageRange range)
{
    if (range.count() <= 1)
        return {fileName};
    const QFileInfo info(fileName);
    QString base = info.filePath();
    QString suffix = QStringLiteral(".png");
    if (info.suffix().compare(QStringLiteral("png"), Qt::CaseInsensitive) == 0) {
        suffix = QLatin1Char('.') + info.suffix();
        base.chop(suffix.size());
    }
    const int digits = int(QString::number(range.last).size());
    QStringList names;
    for (int page = range.first; page <= range.last; ++page)
        names.append(base + QLatin1Char('-') +
                     QStringLiteral("%1").arg(page, std::max(digits, 2), 10, QLatin1Char('0')) +
                     suffix);
    return names;
}

ExportResult exportPng(const PageRecorder &pages, const QString &fileName, int dotsPerInch,
                       PageRange range)
{
    ExportResult result;
    range = wholeReportIfEmpty(range, pages);
    result.error = checkRange(range, pages);
    if (!result.error.isEmpty())
        return result;
    if (dotsPerInch < 1 || dotsPerInch > 2400) {
        result.error = QStringLiteral("A resolution of %1 pixels per inch is not supported "
                                      "(1 to 2400).")
                           .arg(dotsPerInch);
        return result;
    }
    const QStringList names = pngFileNames(fileName, range);
    const int width = roundEven(pages.PageWidth() * dotsPerInch);
    const int height = roundEven(pages.PageHeight() * dotsPerInch);
    const int dotsPerMeter = int(std::lround(dotsPerInch / 0.0254));
    for (int page = range.first; page <= range.last; ++page) {
        QImage image(width, height, QImage::Format_RGB32);
        if (image.isNull()) {
            result.error = QStringLiteral("Not enough memory for a page of %1 × %2 pixels.")
                               .arg(width)
                               .arg(height);
            return result;
        }
        image.fill(Qt::white);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        {
            QPainter painter(&image);
            preparePainter(painter);
            replayPage(pages, page, painter, dotsPerInch, dotsPerInch);
        }
        const QString name = names.at(page - range.first);
        dbe::SafeFileWriter file(name);
        if (!file.open(QIODevice::WriteOnly)) {
            result.error = file.errorString();
            return result;
        }
        QImageWriter writer(&file, "png");
        if (!writer.write(image) || !file.commit()) {
            // A failed write is the file's to tell: the encoder knows only that it failed
            // ("Unknown error").
            result.error =
                file.failed()
                    ? file.errorString()
                    : QStringLiteral("Cannot write %1: %2").arg(name, writer.errorString());
            return result;
        }
        result.files.append(name);
    }
    result.ok = true;
    return result;
}

} // namespace report
