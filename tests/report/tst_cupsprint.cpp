// Printing through a real CUPS queue: a scheduler of the test's own, a queue that prints into a
// PDF file, QPrinter in its native format. Copies and collation reach the paper; an aborted job
// never reaches the queue.

#include "report/frmgenwn.h"
#include "report/prtabunt.h"
#include "tests/report/reporttestkit.h"
#include "tests/support/modaldialog.h"
#include "tests/support/privatecupsd.h"
#include "ui/application.h"

#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

namespace {

const QString Queue = QStringLiteral("ReportQueue");

void prepare(TFormGenWin &generator, int pages, int linesPerPage = 1)
{
    generator.SetOptions({});
    generator.SetPhyWidth(110);
    generator.SetPhyHeight(85);
    generator.SetOnBuildReport([&generator, pages, linesPerPage](QObject *) {
        for (int page = 1; page <= pages; ++page) {
            if (page > 1)
                generator.NewPage();
            generator.StrRect(QStringLiteral("Sheet %1").arg(page), 1, 1, 4, 1.5);
            for (int line = 1; line < linesPerPage; ++line)
                generator.StrRect(QStringLiteral("filler %1").arg(line), 1, 1.5 + line * 0.1, 8,
                                  1.6 + line * 0.1);
        }
    });
    generator.Execute();
}

} // namespace

class TestCupsPrint : public QObject
{
    Q_OBJECT

    testsupport::PrivateCupsd m_cupsd;
    QString m_output;
    int m_jobs = 0;

    bool printAndWait(TFormGenWin &generator)
    {
        QFile::remove(m_output);
        if (!generator.Print())
            return false;
        QString error;
        if (!m_cupsd.waitForCompletedJobs(Queue, ++m_jobs, 60000, &error)) {
            qWarning().noquote() << error;
            return false;
        }
        return QFile::exists(m_output);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_cupsd.start(&error), qPrintable(error));
        const QString outDir = m_cupsd.dir() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(outDir));
        ::chmod(QFile::encodeName(outDir).constData(), 0777);
        m_output = outDir + QStringLiteral("/report.pdf");
        QVERIFY2(m_cupsd.addFileQueue(Queue, m_output, &error), qPrintable(error));
        QVERIFY(QPrinterInfo::availablePrinterNames().contains(Queue));
    }

    void cleanupTestCase() { m_cupsd.stop(); }

    // A single copy through the queue is the aborted-job test's second job.
    void copiesAndCollation_data()
    {
        QTest::addColumn<int>("copies");
        QTest::addColumn<bool>("collate");
        QTest::addColumn<QList<int>>("sheets");
        QTest::newRow("two collated copies") << 2 << true << QList<int>{1, 2, 3, 1, 2, 3};
        QTest::newRow("two uncollated copies") << 2 << false << QList<int>{1, 1, 2, 2, 3, 3};
    }

    void copiesAndCollation()
    {
        QFETCH(int, copies);
        QFETCH(bool, collate);
        QFETCH(QList<int>, sheets);
        TFormGenWin generator;
        prepare(generator, 3);
        QPrinter &printer = generator.Printer();
        printer.setPrinterName(Queue);
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        generator.Copies = copies;
        generator.Collate = collate;
        QCOMPARE(TfrmPrintAbort(printer).lblPrinterName->text(), QStringLiteral("on ") + Queue);
        QVERIFY2(printAndWait(generator), qPrintable(m_cupsd.errorLog()));
        QCOMPARE(reporttest::pdfSheets(m_output), sheets);
        // The landscape report goes to the queue's Letter paper, turned to fit it.
        QVERIFY2(reporttest::pdfPageSize(m_output).endsWith(QLatin1String("(letter)")),
                 qPrintable(reporttest::pdfPageSize(m_output)));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
    }

    void abortedJobNeverReachesTheQueue()
    {
        TFormGenWin big;
        prepare(big, 300, 40);
        big.Printer().setPrinterName(Queue);
        testsupport::ExpectWindow<TfrmPrintAbort> abortBox([](TfrmPrintAbort *box) {
            auto *watch = new QTimer(box);
            QObject::connect(watch, &QTimer::timeout, box, [box, watch] {
                if (box->prbarStat->value() >= 10) {
                    watch->stop();
                    box->BitBtn1->click();
                }
            });
            watch->start(1);
        });
        QVERIFY(!big.Print());
        VESK_VERIFY_DIALOG(abortBox);
        // The next job is the only one the queue sees.
        TFormGenWin small;
        prepare(small, 1);
        small.Printer().setPrinterName(Queue);
        QVERIFY2(printAndWait(small), qPrintable(m_cupsd.errorLog()));
        QCOMPARE(m_cupsd.completedJobs(Queue), m_jobs);
        QCOMPARE(reporttest::pdfSheets(m_output), QList<int>{1});
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestCupsPrint test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cupsprint.moc"
