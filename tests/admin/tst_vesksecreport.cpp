// vesksec report: each security report written to PDF and read back with Poppler, a report of
// several pages, PNG pages, the Usage days, refusals, and one job through a CUPS queue of the
// test's own.

#include "dbe/session.h"
#include "dbe/table.h"
#include "report/dateformat.h"
#include "tests/admin/reportdata.h"
#include "tests/report/reporttestkit.h"
#include "tests/support/privatecupsd.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// `fileSizeLimit`: writes that would make a file longer fail (0: no limit).
Run vesksec(const QStringList &arguments, const QString &password, long fileSizeLimit = 0)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VESK_MASTER_PASSWORD"));
    // Nothing is shown: the tool must not need a display, whatever the test runs under.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!password.isEmpty())
        environment.insert(QStringLiteral("VESK_MASTER_PASSWORD"), password);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice()); // no terminal to ask on
    if (fileSizeLimit > 0)
        process.setChildProcessModifier([=] { testsupport::limitFileSize(fileSizeLimit); });
    process.start(QStringLiteral(VESK_VESKSEC), QStringList{QStringLiteral("report")} + arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString today()
{
    return report::formatDateTime(QStringLiteral("ddddd"), QDate::currentDate().startOfDay());
}

} // namespace

class TestVesksecReport : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::SecurityDb> m_db;
    std::unique_ptr<testsupport::SecurityDb> m_many;
    QTemporaryDir m_out;

    QStringList on(const testsupport::SecurityDb &db, const QString &type) const
    {
        return {QStringLiteral("--alias"), db.alias(), QStringLiteral("--type"), type};
    }

private Q_SLOTS:
    void initTestCase()
    {
        testsupport::isolateEngineConfig();
        m_db = std::make_unique<testsupport::SecurityDb>(QStringLiteral("REPORTED"),
                                                         QStringLiteral("Cli-Master1"));
        reportdata::fillScenario(*m_db);
        m_many = std::make_unique<testsupport::SecurityDb>(QStringLiteral("MANY"),
                                                           QStringLiteral("Cli-Master1"));
        reportdata::fillMany(*m_many, 50);
        dbe::Session::instance().saveConfig();
    }

    void eachReportToPdf_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("access") << "access"
                                << QStringList{"Access Constants Report", "ID", "Name",
                                               "EDIT_ORDERS", "VIEW_ORDERS"};
        QTest::newRow("groups") << "groups"
                                << QStringList{"Groups Report", "Group ID",    "Group Name",
                                               "Access ID",     "Access Name", "Clerks"};
        QTest::newRow("usage") << "usage"
                               << QStringList{"Usage Report",  "Log Entry", "User Name",
                                              "*** Logon ***", "Unknown",   "3/3/2026 23:59:59"};
        QTest::newRow("users") << "users"
                               << QStringList{"User Report", "Field 1", "Access Count", "alice",
                                              "bob"};
        QTest::newRow("useraccess") << "useraccess"
                                    << QStringList{"User Access Report", "Access Label",
                                                   "**Constant not found", "**Group not found"};
    }

    void eachReportToPdf()
    {
        QFETCH(QString, type);
        QFETCH(QStringList, lines);
        const QString pdf = m_out.filePath(type + QStringLiteral(".pdf"));
        QStringList arguments = on(*m_db, type) + QStringList{QStringLiteral("--pdf"), pdf};
        if (type == QLatin1String("usage"))
            arguments << QStringLiteral("--from") << QStringLiteral("2026-03-02")
                      << QStringLiteral("--to") << QStringLiteral("2026-03-03");
        const Run run = vesksec(arguments, m_db->password());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(reporttest::pdfPageCount(pdf), 1);
        QVERIFY(reporttest::pdfPageSize(pdf).startsWith(QLatin1String("792 x 612")));
        const QString text = reporttest::pdfText(pdf, 1);
        for (const QString &expected :
             lines + QStringList{QStringLiteral("Alias: REPORTED"), today()})
            QVERIFY2(text.contains(expected),
                     qPrintable(expected + QStringLiteral(" in\n") + text));
        QVERIFY(!text.contains(reportdata::AlicePassword));
        QVERIFY(!text.contains(QLatin1String("2026-03-04"))); // after the Usage days
    }

    void aReportOfSeveralPages()
    {
        const QString pdf = m_out.filePath(QStringLiteral("many-users.pdf"));
        const Run run = vesksec(on(*m_many, QStringLiteral("users")) +
                                    QStringList{QStringLiteral("--pdf"), pdf},
                                m_many->password());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out.trimmed(), QStringLiteral("2 pages written to ") + pdf);
        QCOMPARE(reporttest::pdfPageCount(pdf), 2);
        const QString first = reporttest::pdfText(pdf, 1);
        const QString second = reporttest::pdfText(pdf, 2);
        for (const QString &page : {first, second}) {
            QVERIFY(page.contains(QLatin1String("User Report")));
            QVERIFY(page.contains(QLatin1String("Access Count")));
        }
        QVERIFY(first.contains(QLatin1String("user001")));
        QVERIFY(!first.contains(QLatin1String("user050")));
        QVERIFY(second.contains(QLatin1String("user050")));
        // The page number is the last thing on each page.
        QCOMPARE(first.trimmed().split(QLatin1Char('\n')).last().trimmed(), QStringLiteral("1"));
        QCOMPARE(second.trimmed().split(QLatin1Char('\n')).last().trimmed(), QStringLiteral("2"));
    }

    void pngPages()
    {
        const QString folder = m_out.filePath(QStringLiteral("pages"));
        const Run run = vesksec(on(*m_many, QStringLiteral("access")) +
                                    QStringList{QStringLiteral("--png"), folder,
                                                QStringLiteral("--dpi"), QStringLiteral("40")},
                                m_many->password());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{"access-01.png", "access-02.png"}));
        const QImage page(QDir(folder).filePath(QStringLiteral("access-02.png")));
        QCOMPARE(page.size(), QSize(440, 340)); // 11 x 8.5 inches at 40 per inch
        QVERIFY(!reporttest::inkBounds(page).isEmpty());
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("fileSizeLimit");
        const QString pdf = m_out.filePath(QStringLiteral("refused.pdf"));
        const QStringList toPdf{QStringLiteral("--pdf"), pdf};
        QTest::newRow("wrong password") << on(*m_db, "users") + toPdf << "not-it"
                                        << "Invalid password" << 0;
        QTest::newRow("unknown alias")
            << QStringList{"--alias", "NOSUCH", "--type", "users"} + toPdf << "x"
            << "NOSUCH" << 0;
        QTest::newRow("no destination")
            << on(*m_db, "users") << m_db->password() << "exactly one of" << 0;
        QTest::newRow("days for another report")
            << on(*m_db, "users") + toPdf + QStringList{"--from", "2026-03-02"} << m_db->password()
            << "--type usage" << 0;
        QTest::newRow("not a date")
            << on(*m_db, "usage") + toPdf + QStringList{"--from", "2.3.2026"} << m_db->password()
            << "YYYY-MM-DD" << 0;
        QTest::newRow("a start after the end")
            << on(*m_db, "usage") + toPdf +
                   QStringList{"--from", "2026-03-03", "--to", "2026-03-02"}
            << m_db->password() << "comes after the ending date" << 0;
        QTest::newRow("a printer nobody has")
            << on(*m_db, "users") + QStringList{"--print", "NoSuchQueue"} << m_db->password()
            << "NoSuchQueue" << 0;
        // Nothing cut short is left behind, and the reason is the system's, not "Unknown error".
        const QString full = testsupport::fullDevice(m_out.path());
        QTest::newRow("a PDF to a full device")
            << on(*m_db, "users") + QStringList{"--pdf", full} << m_db->password()
            << full + ": " + strerror(ENOSPC) << 0;
        QTest::newRow("a PDF, the disk full half-way")
            << on(*m_db, "users") + toPdf << m_db->password() << pdf + ": " + strerror(EFBIG)
            << 4096;
        QTest::newRow("PNG pages, the disk full half-way")
            << on(*m_many, "access") + QStringList{"--png", m_out.filePath("refused")}
            << m_many->password() << m_out.filePath("refused/access-01.png: ") + strerror(EFBIG)
            << 4096;
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(int, fileSizeLimit);
        const Run run = vesksec(arguments, password, fileSizeLimit);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        const QDir::Filters files = QDir::Files | QDir::Hidden;
        QCOMPARE(QDir(m_out.path()).entryList({"refused*"}, files), QStringList());
        QCOMPARE(QDir(m_out.filePath("refused")).entryList(files), QStringList());
    }

    void passwordAskedOnTheTerminalWithoutEcho()
    {
        // `script` gives the tool a terminal of its own; what is typed goes to it.
        const QString pdf = m_out.filePath(QStringLiteral("typed.pdf"));
        const QString command = QStringLiteral("'%1' report --alias %2 --type users --pdf '%3'")
                                    .arg(QStringLiteral(VESK_VESKSEC), m_db->alias(), pdf);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VESK_MASTER_PASSWORD"));
        QProcess terminal;
        terminal.setProcessEnvironment(environment);
        terminal.start(QStringLiteral("script"),
                       {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
        QVERIFY(terminal.waitForStarted());
        QString shown;
        QElapsedTimer clock;
        clock.start();
        while (!shown.contains(QLatin1String("Master password for REPORTED: ")) &&
               clock.elapsed() < 30000 && terminal.state() == QProcess::Running) {
            terminal.waitForReadyRead(200);
            shown += QString::fromLocal8Bit(terminal.readAll());
        }
        QVERIFY2(shown.contains(QLatin1String("Master password for REPORTED: ")),
                 qPrintable(shown));
        terminal.write((m_db->password() + QStringLiteral("\n")).toLocal8Bit());
        const bool finished = terminal.waitForFinished(20000);
        shown += QString::fromLocal8Bit(terminal.readAll());
        if (!finished)
            terminal.kill();
        QVERIFY2(finished, qPrintable(shown));
        QCOMPARE(terminal.exitCode(), 0);
        QVERIFY2(shown.contains(QLatin1String("1 page written to")), qPrintable(shown));
        QVERIFY2(!shown.contains(m_db->password()), qPrintable(shown));
        QCOMPARE(reporttest::pdfPageCount(pdf), 1);
    }

    void printsThroughACupsQueue()
    {
        testsupport::PrivateCupsd cupsd;
        QString error;
        QVERIFY2(cupsd.start(&error), qPrintable(error));
        const QString outDir = cupsd.dir() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(outDir));
        ::chmod(QFile::encodeName(outDir).constData(), 0777);
        const QString output = outDir + QStringLiteral("/usage.pdf");
        QVERIFY2(cupsd.addFileQueue(QStringLiteral("Reports"), output, &error), qPrintable(error));
        const Run run =
            vesksec(on(*m_many, QStringLiteral("usage")) +
                        QStringList{QStringLiteral("--from"), QStringLiteral("2026-03-02"),
                                    QStringLiteral("--to"), QStringLiteral("2026-03-02"),
                                    QStringLiteral("--print"), QStringLiteral("Reports"),
                                    QStringLiteral("--copies"), QStringLiteral("2")},
                    m_many->password());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out.trimmed(), QStringLiteral("2 pages sent to Reports"));
        QVERIFY2(cupsd.waitForCompletedJobs(QStringLiteral("Reports"), 1, 60000, &error),
                 qPrintable(error));
        // Two collated copies of the two landscape pages.
        QCOMPARE(reporttest::pdfPageCount(output), 4);
        // The queue's driver puts the landscape pages on Letter sheets turned sideways.
        QVERIFY2(reporttest::pdfPageSize(output).endsWith(QLatin1String("(letter)")),
                 qPrintable(reporttest::pdfPageSize(output)));
        QVERIFY(reporttest::pdfText(output, 1).contains(QLatin1String("Usage Report")));
        QVERIFY(reporttest::pdfText(output, 3).contains(QLatin1String("RIGHT_001")));
        QVERIFY(reporttest::pdfText(output, 4).contains(QLatin1String("RIGHT_050")));
    }
};

QTEST_GUILESS_MAIN(TestVesksecReport)

#include "tst_vesksecreport.moc"
