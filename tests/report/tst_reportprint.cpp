// Printing and saving: page ranges with and without the print dialog, copies and collation,
// the orientation of the job, Abort, and the PDF and PNG files, read back with poppler.

#include "dbe/error.h"
#include "report/frmgenwn.h"
#include "report/pageexport.h"
#include "report/pageprint.h"
#include "report/pagereplay.h"
#include "report/prtabunt.h"
#include "tests/report/reporttestkit.h"
#include "tests/support/modaldialog.h"
#include "tests/support/testsupport.h"
#include "ui/application.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>

using namespace report;

namespace {

// A report of `pages` pages, each saying which page it is, plus a frame.
void record(PageRecorder &pages, int count, bool landscape = false)
{
    if (landscape) {
        pages.SetPhyWidth(110);
        pages.SetPhyHeight(85);
    }
    for (int page = 1; page <= count; ++page) {
        if (page > 1)
            pages.NewPage();
        pages.Box(0.5, 0.5, 2.5, 1.5);
        pages.StrRect(QStringLiteral("Sheet %1").arg(page), 1, 1, 4, 2);
    }
}

void prepare(TFormGenWin &generator, int pages, bool landscape = false)
{
    generator.SetOptions({});
    generator.SetOnBuildReport([&](QObject *) { record(generator, pages, landscape); });
    generator.Execute();
}

QPrinter &pdfPrinter(TFormGenWin &generator, const QString &file)
{
    QPrinter &printer = generator.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return printer;
}

} // namespace

class TestReportPrint : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void rangeWithoutDialog_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("pageCount");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("nothing set: all") << 0 << 0 << 3 << 1 << 3;
        QTest::newRow("beyond the last page: the last") << 5 << 0 << 3 << 3 << 3;
        QTest::newRow("a range inside") << 2 << 3 << 5 << 2 << 3;
        QTest::newRow("to beyond the end: to the end") << 2 << 9 << 4 << 2 << 4;
        QTest::newRow("from after to: to") << 3 << 2 << 4 << 2 << 2;
        QTest::newRow("negative from: 1") << -4 << 2 << 4 << 1 << 2;
    }

    void rangeWithoutDialog()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, pageCount);
        QFETCH(int, first);
        QFETCH(int, last);
        QCOMPARE(report::rangeWithoutDialog(from, to, pageCount), (PageRange{first, last}));
    }

    void progressPercentages_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("commandsPerPage");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("passes");
        QTest::addColumn<QList<int>>("percents"); // distinct values in order
        QTest::newRow("one page, one command: stays at 0")
            << 1 << 1 << 1 << 1 << 1 << QList<int>{0};
        QTest::newRow("one page of five commands")
            << 1 << 5 << 1 << 1 << 1 << QList<int>{0, 25, 50, 75, 100};
        // k counts in the whole list: page 2's commands are 2 and 3 of 0..3.
        QTest::newRow("page 2 of two, twice")
            << 2 << 2 << 2 << 2 << 2 << QList<int>{0, 33, 50, 83, 100};
        QTest::newRow("four pages") << 4 << 3 << 1 << 4 << 1 << QList<int>{0, 25, 50, 75};
        QTest::newRow("two pages, two passes")
            << 2 << 1 << 1 << 2 << 2 << QList<int>{0, 25, 50, 75};
    }

    void progressPercentages()
    {
        QFETCH(int, pages);
        QFETCH(int, commandsPerPage);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, passes);
        QFETCH(QList<int>, percents);
        PageRecorder recorder;
        for (int page = 1; page <= pages; ++page) {
            if (page > 1)
                recorder.NewPage();
            for (int c = 0; c < commandsPerPage; ++c)
                recorder.Line(0, 0, 1, 1);
        }
        QImage image = reporttest::whitePage(100, 100);
        QPainter painter(&image);
        ReplayTarget target;
        target.painter = &painter;
        target.scaleX = target.scaleY = 10;
        int newPages = 0;
        target.newPage = [&newPages] {
            ++newPages;
            return true;
        };
        CopyPlan plan;
        plan.passes = passes;
        QList<int> seen;
        QVERIFY(replayPages(recorder, target, {first, last}, plan, [&](int percent) {
            if (seen.isEmpty() || seen.last() != percent)
                seen.append(percent);
            return true;
        }));
        QCOMPARE(seen, percents);
        QCOMPARE(newPages, (last - first + 1) * passes - 1);
    }

    void pdfFileOfTheReport()
    {
        PageRecorder pages;
        record(pages, 3, true);
        const QString file = path(QStringLiteral("report.pdf"));
        exportPdf(pages, file);
        QCOMPARE(reporttest::pdfPageCount(file), 3);
        QVERIFY(reporttest::pdfPageSize(file).startsWith(QLatin1String("792 x 612 pts")));
        QCOMPARE(reporttest::pdfSheets(file), (QList<int>{1, 2, 3}));

        exportPdf(pages, path(QStringLiteral("two.pdf")), {2, 3});
        QCOMPARE(reporttest::pdfSheets(path(QStringLiteral("two.pdf"))), (QList<int>{2, 3}));

        QVERIFY_THROWS_EXCEPTION(dbe::Error,
                                 exportPdf(pages, path(QStringLiteral("bad.pdf")), {2, 7}));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("bad.pdf"))));
        try {
            exportPdf(pages, path(QStringLiteral("no/such/dir/x.pdf")));
            QFAIL("a PDF was written into a folder that does not exist");
        } catch (const dbe::Error &unwritable) {
            QVERIFY(unwritable.text().contains(QLatin1String("x.pdf")));
        }
    }

    // Printed to a PDF file that is a link to a device: the device is written, and its refusal
    // reported; neither link nor device is replaced by the spooled file.
    void printToAFullDevice()
    {
        PageRecorder pages;
        record(pages, 2);
        const QString device = testsupport::fullDevice(m_dir.path());
        const QString link = path(QStringLiteral("full.pdf"));
        QVERIFY(QFile::link(device, link));
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(link);
        QCOMPARE(printPages(pages, printer, {1, 2}).error,
                 QStringLiteral("Cannot write %1: %2")
                     .arg(link, QString::fromLocal8Bit(strerror(ENOSPC))));
        QCOMPARE(QFileInfo(link).symLinkTarget(), device);
        QVERIFY(!QFileInfo(device).isFile());
    }

    void pngFilesOfTheReport()
    {
        PageRecorder pages;
        record(pages, 2);
        const QStringList files = exportPng(pages, path(QStringLiteral("shot.png")), 50);
        QCOMPARE(files, (QStringList{path("shot-01.png"), path("shot-02.png")}));
        const QImage first(files.at(0));
        QCOMPARE(first.size(), QSize(425, 550));
        // The frame from 0.5 to 2.5 inches at 50 pixels per inch.
        const QRect ink = reporttest::inkBounds(first);
        QCOMPARE(ink.topLeft(), QPoint(25, 25));
        QVERIFY(ink.right() >= 125);
        QCOMPARE(exportPng(pages, path(QStringLiteral("second.png")), 30, {2, 2}),
                 QStringList{path("second.png")});
        QVERIFY_THROWS_EXCEPTION(dbe::Error, exportPng(pages, path(QStringLiteral("z.png")), 0));
    }

    // The page range itself is rangeWithoutDialog's; these rows show that FromPage, ToPage,
    // Copies, Collate and the printer's page order reach the job.
    void printWithoutDialog_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("collate");
        QTest::addColumn<bool>("lastFirst");
        QTest::addColumn<QList<int>>("sheets");
        QTest::newRow("2 to 3") << 2 << 3 << 1 << false << false << QList<int>{2, 3};
        QTest::newRow("three collated copies")
            << 0 << 0 << 3 << true << false << QList<int>{1, 2, 3, 1, 2, 3, 1, 2, 3};
        QTest::newRow("two uncollated copies of 2 to 3")
            << 2 << 3 << 2 << false << false << QList<int>{2, 2, 3, 3};
        QTest::newRow("last page first") << 0 << 0 << 1 << false << true << QList<int>{3, 2, 1};
        QTest::newRow("two collated copies of 1 to 2, last page first")
            << 1 << 2 << 2 << true << true << QList<int>{2, 1, 2, 1};
    }

    void printWithoutDialog()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, copies);
        QFETCH(bool, collate);
        QFETCH(bool, lastFirst);
        QFETCH(QList<int>, sheets);
        TFormGenWin generator;
        prepare(generator, 3);
        int changes = 0;
        generator.SetOnChange([&changes](QObject *) { ++changes; });
        const QString file = path(QStringLiteral("range.pdf"));
        QFile::remove(file);
        pdfPrinter(generator, file)
            .setPageOrder(lastFirst ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
        generator.FromPage = from;
        generator.ToPage = to;
        generator.Copies = copies;
        generator.Collate = collate;
        QVERIFY(generator.Print());
        QCOMPARE(reporttest::pdfSheets(file), sheets);
        QCOMPARE(changes, 1);
        QVERIFY(!generator.findChild<TfrmPrintAbort *>());
    }

    void orientationIsSwitchedForTheJobOnly()
    {
        TFormGenWin generator;
        prepare(generator, 2, true);
        const QString file = path(QStringLiteral("landscape.pdf"));
        QPrinter &printer = pdfPrinter(generator, file);
        printer.setPageOrientation(QPageLayout::Portrait);
        QVERIFY(generator.Print());
        QVERIFY(reporttest::pdfPageSize(file).startsWith(QLatin1String("792 x 612 pts")));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
        // Drawn from the sheet's corner: the frame sits half an inch in.
        const QString text = reporttest::pdfText(file, 1);
        QVERIFY(text.contains(QLatin1String("Sheet 1")));
    }

    void dialogOffersThePageOnScreen()
    {
        TFormGenWin generator;
        prepare(generator, 3);
        generator.SetOptions({foShowPrint});
        generator.NextPage();
        int changes = 0;
        generator.SetOnChange([&changes](QObject *) { ++changes; });
        const QString file = path(QStringLiteral("dialog.pdf"));
        QFile::remove(file);
        pdfPrinter(generator, file);
        int from = -1;
        int to = -1;
        int maxPage = -1;
        QPrinter::PrintRange range = QPrinter::AllPages;
        testsupport::ExpectDialog<QPrintDialog> printDialog([&](QPrintDialog *dialog) {
            from = dialog->printer()->fromPage();
            to = dialog->printer()->toPage();
            maxPage = dialog->maxPage();
            range = dialog->printer()->printRange();
            dialog->reject();
        });
        QVERIFY(!generator.Print());
        VESK_VERIFY_DIALOG(printDialog);
        QCOMPARE(from, 2);
        QCOMPARE(to, 2);
        QCOMPARE(maxPage, 3);
        QCOMPARE(range, QPrinter::PageRange);
        QCOMPARE(changes, 1); // a cancel still tells the navigator
        QVERIFY(!QFileInfo::exists(file));

        // Accepting prints what was offered: the page on screen.
        testsupport::ExpectDialog<QPrintDialog> acceptingDialog(
            [](QPrintDialog *dialog) { dialog->accept(); });
        QVERIFY(generator.Print());
        VESK_VERIFY_DIALOG(acceptingDialog);
        QCOMPARE(reporttest::pdfSheets(file), QList<int>{2});
    }

    void abortStopsTheJobAndDeliversNothing()
    {
        TFormGenWin generator;
        generator.SetOptions({});
        generator.SetOnBuildReport([&](QObject *) {
            for (int page = 1; page <= 300; ++page) {
                if (page > 1)
                    generator.NewPage();
                for (int line = 0; line < 40; ++line)
                    generator.StrRect(QStringLiteral("Line %1 of sheet %2").arg(line).arg(page),
                                      0.5, 0.5 + line * 0.2, 8, 0.7 + line * 0.2);
            }
        });
        generator.Execute();
        const QString file = path(QStringLiteral("aborted.pdf"));
        QFile::remove(file);
        pdfPrinter(generator, file);
        QElapsedTimer sinceAbort;
        QString caption;
        QString printerLabel;
        testsupport::ExpectWindow<TfrmPrintAbort> abortBox([&](TfrmPrintAbort *box) {
            caption = box->windowTitle();
            printerLabel = box->lblPrinterName->text();
            // Abort mid-job, once a tenth of the pages are out.
            auto *watch = new QTimer(box);
            QObject::connect(watch, &QTimer::timeout, box, [box, watch, &sinceAbort] {
                if (box->prbarStat->value() < 10)
                    return;
                watch->stop();
                sinceAbort.start();
                box->BitBtn1->click();
            });
            watch->start(1);
        });
        int changes = 0;
        generator.SetOnChange([&changes](QObject *) { ++changes; });
        QVERIFY(!generator.Print());
        VESK_VERIFY_DIALOG(abortBox);
        QVERIFY(sinceAbort.isValid());
        QVERIFY2(sinceAbort.elapsed() < 200, qPrintable(QString::number(sinceAbort.elapsed())));
        QCOMPARE(caption, QStringLiteral("Printing current form ..."));
        QCOMPARE(printerLabel, QStringLiteral("on aborted.pdf"));
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(
            QDir(m_dir.path()).entryList({QStringLiteral(".aborted*")}, QDir::Hidden | QDir::Files),
            QStringList());
        QCOMPARE(changes, 1);
    }

    void pictureOfTheAbortBox()
    {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(QStringLiteral("User Report.pdf")));
        TfrmPrintAbort box(printer);
        box.SetProgress(42);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.size(), QSize(293, 104));
        reporttest::keepScreenshot(box.grab().toImage(), QStringLiteral("print_abort"));
        QVERIFY(box.BitBtn1->width() >= box.BitBtn1->sizeHint().width() - 8);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestReportPrint test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reportprint.moc"
