#include "report/pageexport.h"

#include "dbe/error.h"
#include "dbe/safefilewriter.h"
#include "report/pagerecorder.h"
#include "report/pdfdocument.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
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

void refuseOutOfRange(PageRange range, const PageRecorder &pages)
{
    if (range.first < 1 || range.last > pages.PageCount() || range.first > range.last)
        throw dbe::Error(QStringLiteral("Pages %1 to %2 are not pages of the report (1 to %3).")
                             .arg(range.first)
                             .arg(range.last)
                             .arg(pages.PageCount()));
}

} // namespace

void exportPdf(const PageRecorder &pages, const QString &fileName, PageRange range,
               int dotsPerInch)
{
    range = wholeReportIfEmpty(range, pages);
    refuseOutOfRange(range, pages);
    dbe::SafeFileWriter file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw dbe::Error(file.errorString(), dbe::Error::Io);
    PdfDocument document(file, QSizeF(pages.PageWidth(), pages.PageHeight()), dotsPerInch);
    document.setCreator(QStringLiteral("VeskSecure"));
    document.setTitle(QFileInfo(fileName).completeBaseName());
    QPainter painter;
    if (!painter.begin(&document))
        throw dbe::Error(QStringLiteral("Cannot start a PDF document in %1.").arg(fileName),
                         dbe::Error::Io);
    preparePainter(painter);
    ReplayTarget target;
    target.painter = &painter;
    target.scaleX = document.logicalDpiX();
    target.scaleY = document.logicalDpiY();
    target.newPage = [&document] { return document.newPage(); };
    const bool complete = replayPages(pages, target, range, CopyPlan{});
    painter.end();
    if (!complete || !document.finish()) {
        // The file's own words when it refused a write; else the replay stopped.
        if (file.failed())
            throw dbe::Error(file.errorString(), dbe::Error::Io);
        throw dbe::Error(
            QStringLiteral("The PDF document %1 could not be completed.").arg(fileName),
            dbe::Error::Io);
    }
    if (!file.commit())
        throw dbe::Error(file.errorString(), dbe::Error::Io);
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

QStringList exportPng(const PageRecorder &pages, const QString &fileName, int dotsPerInch,
                      PageRange range)
{
    range = wholeReportIfEmpty(range, pages);
    refuseOutOfRange(range, pages);
    if (dotsPerInch < 1 || dotsPerInch > 2400)
        throw dbe::Error(QStringLiteral("A resolution of %1 pixels per inch is not supported "
                                        "(1 to 2400).")
                             .arg(dotsPerInch));
    QStringList written;
    const QStringList names = pngFileNames(fileName, range);
    const int width = roundEven(pages.PageWidth() * dotsPerInch);
    const int height = roundEven(pages.PageHeight() * dotsPerInch);
    const int dotsPerMeter = int(std::lround(dotsPerInch / 0.0254));
    for (int page = range.first; page <= range.last; ++page) {
        QImage image(width, height, QImage::Format_RGB32);
        if (image.isNull())
            throw dbe::Error(QStringLiteral("Not enough memory for a page of %1 × %2 pixels.")
                                 .arg(width)
                                 .arg(height));
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
        if (!file.open(QIODevice::WriteOnly))
            throw dbe::Error(file.errorString(), dbe::Error::Io);
        QImageWriter writer(&file, "png");
        if (!writer.write(image) || !file.commit()) {
            // A failed write is the file's to tell: the encoder knows only that it failed
            // ("Unknown error").
            throw dbe::Error(file.failed() ? file.errorString()
                                           : QStringLiteral("Cannot write %1: %2")
                                                 .arg(name, writer.errorString()),
                             dbe::Error::Io);
        }
        written.append(name);
    }
    return written;
}

} // namespace report
