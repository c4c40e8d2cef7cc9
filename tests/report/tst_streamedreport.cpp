// A report larger than the memory the recorder may keep: its pages go to the temporary file
// and come back exactly, to the preview, to a PDF and to PNG files.

#include "report/frmgenwn.h"
#include "report/pageexport.h"
#include "report/pagerecorder.h"
#include "report/pagereplay.h"
#include "report/plswtunt.h"
#include "tests/report/reporttestkit.h"
#include "ui/application.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace report;

namespace {

constexpr int Pages = 1500;
constexpr int LinesPerPage = 40;

QString lineText(int page, int line)
{
    return QStringLiteral("Entry %1 of page %2").arg(line).arg(page);
}

void recordInto(PageRecorder &g)
{
    for (int page = 1; page <= Pages; ++page) {
        if (page > 1)
            g.NewPage();
        g.Line(0.5, 0.5, 8, 0.5);
        for (int line = 1; line <= LinesPerPage; ++line)
            g.TextRect(lineText(page, line), 0.5, 0.5 + 0.2 * line, 6, 0.7 + 0.2 * line);
    }
}

QImage rendered(const PageRecorder &pages, int page)
{
    QImage image = reporttest::whitePage(425, 550);
    QPainter painter(&image);
    preparePainter(painter);
    replayPage(pages, page, painter, 50, 50);
    return image;
}

} // namespace

class TestStreamedReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The cache folder is the user's; the test gives the recorder one of its own.
        QStandardPaths::setTestModeEnabled(true);
    }

    void pagesComeBackExactly_data()
    {
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<bool>("spills");
        QTest::newRow("every page to the file") << qint64(0) << true;
        QTest::newRow("a 256 KB budget") << qint64(256 * 1024) << true;
        QTest::newRow("the default budget") << qint64(-1) << false;
    }

    void pagesComeBackExactly()
    {
        QFETCH(qint64, budget);
        QFETCH(bool, spills);
        PageRecorder pages;
        if (budget >= 0)
            pages.SetMemoryBudget(budget);
        pages.Build(recordInto);
        PageRecorder reference; // the default budget holds this report in memory
        reference.Build(recordInto);

        QCOMPARE(pages.PageCount(), Pages);
        QCOMPARE(pages.CommandCount(), Pages * (LinesPerPage + 1));
        QCOMPARE(pages.Store().spilled(), spills);
        // The temporary file has no name in the cache folder, so nothing is left behind.
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QVERIFY(QDir(cache).entryList({QStringLiteral("*.pages")}, QDir::Files).isEmpty());
        if (budget >= 0)
            QVERIFY(pages.Store().residentBytes() <= budget);
        for (const int page : {Pages, 1, Pages / 2, Pages - 1, Pages}) {
            const QList<const TTextBoxCmd *> boxes = reporttest::textBoxes(pages, page);
            QCOMPARE(boxes.size(), LinesPerPage);
            QCOMPARE(boxes.last()->Text, lineText(page, LinesPerPage));
            QCOMPARE(boxes.first()->Page, page);
            QCOMPARE(pages.PageCommands(page).firstCommand(), (page - 1) * (LinesPerPage + 1));
            QCOMPARE(rendered(pages, page), rendered(reference, page));
        }
    }

    void savedPageByPage()
    {
        PageRecorder pages;
        pages.SetMemoryBudget(128 * 1024);
        pages.Build(recordInto);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        exportPdf(pages, pdf, {0, 0}, 300);
        QCOMPARE(reporttest::pdfPageCount(pdf), Pages);
        QVERIFY(reporttest::pdfText(pdf, Pages).contains(lineText(Pages, LinesPerPage)));
        QVERIFY(reporttest::pdfText(pdf, 700).contains(lineText(700, 1)));
    }

    void cancelStopsTheBuild()
    {
        TFormGenWin preview;
        preview.SetMemoryBudget(0);
        preview.SetOptions({foShowDialog});
        preview.SetOnBuildReport([&preview](QObject *) { recordInto(preview); });
        int pagesWhenCancelled = 0;
        QString counted;
        // Cancels as soon as the box counts a page, which it does when the first is finished.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = preview.findChild<TfrmPlsWt *>();
            if (!box || box->lblPages->text().startsWith(QLatin1Char('0')) || !counted.isEmpty())
                return;
            QVERIFY(box->isModal());
            counted = box->lblPages->text();
            pagesWhenCancelled = preview.PageCount();
            box->btnCancel->click();
        });
        poll.start(0);
        preview.Execute();
        QVERIFY(preview.Cancelled());
        QCOMPARE(counted, QStringLiteral("1 page so far"));
        QCOMPARE(preview.PageCount(), pagesWhenCancelled);
        QVERIFY(preview.PageCount() < Pages);
        QVERIFY(!preview.findChild<TfrmPlsWt *>());
        QCOMPARE(reporttest::textBoxes(preview, 1).first()->Text, lineText(1, 1));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestStreamedReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_streamedreport.moc"
