// The five security reports built without a window from a real security database: their title
// blocks, column headings, records, calculated names, page numbers, the Usage report's days,
// and a build that fails half-way.

#include "dbe/error.h"
#include "dbe/query.h"
#include "dbe/table.h"
#include "report/dateformat.h"
#include "report/drawcmds.h"
#include "report/pagerecorder.h"
#include "report/rptdsgn.h"
#include "reports/securityreports.h"
#include "tests/admin/reportdata.h"
#include "tests/report/reporttestkit.h"
#include "ui/application.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>

using reportdata::linesOf;
using securityreports::DayRange;
using securityreports::ReportType;
using securityreports::SecurityReports;

Q_DECLARE_METATYPE(securityreports::ReportType)

namespace {

const DayRange ScenarioDays{reportdata::FirstDay, reportdata::LastDay};

std::unique_ptr<report::PageRecorder> build(SecurityReports &reports, ReportType type,
                                            const DayRange &days = ScenarioDays)
{
    auto pages = std::make_unique<report::PageRecorder>();
    reports.Build(
        type, [&pages](TReportDesign &design) { design.BuildPages(*pages); }, days);
    return pages;
}

QString today()
{
    return report::formatDateTime(QStringLiteral("ddddd"), QDate::currentDate().startOfDay());
}

} // namespace

class TestSecurityReports : public QObject
{
    Q_OBJECT

private:
    // Databases that the tests only read, made once; their connections stay open so that
    // every build does not derive the tables' keys again.
    std::unique_ptr<testsupport::SecurityDb> m_scenario;
    std::unique_ptr<testsupport::SecurityDb> m_many;
    std::unique_ptr<dbe::Table> m_scenarioConnection;
    std::unique_ptr<dbe::Table> m_manyConnection;
    std::unique_ptr<testsupport::SecurityDb> m_damaged;

    SecurityReports &reportsOn(const testsupport::SecurityDb &db)
    {
        m_reports = std::make_unique<SecurityReports>();
        m_reports->SetAliasName(db.alias());
        return *m_reports;
    }
    std::unique_ptr<SecurityReports> m_reports;

private Q_SLOTS:
    void initTestCase()
    {
        testsupport::isolateEngineConfig();
        m_scenario = std::make_unique<testsupport::SecurityDb>(QStringLiteral("REPORTED"));
        reportdata::fillScenario(*m_scenario);
        m_scenarioConnection = reportdata::holdConnection(m_scenario->alias());
        m_many = std::make_unique<testsupport::SecurityDb>(QStringLiteral("MANY"));
        reportdata::fillMany(*m_many, 50);
        m_manyConnection = reportdata::holdConnection(m_many->alias());
    }

    void cleanupTestCase()
    {
        m_reports.reset();
        m_scenarioConnection.reset();
        m_manyConnection.reset();
    }

    void titleBlockAndHeadings_data()
    {
        QTest::addColumn<ReportType>("type");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("titleCentered");
        QTest::addColumn<quint16>("dateAlignment");
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<QStringList>("firstRecord");
        QTest::newRow("access constants")
            << ReportType::AccessConstants << "Access Constants Report" << false
            << report::dt::Center << QStringList{"ID", "Name"} << QStringList{"2", "EDIT_ORDERS"};
        QTest::newRow("groups") << ReportType::Groups << "Groups Report" << false
                                << report::dt::Center
                                << QStringList{"Group ID", "Group Name", "Access ID", "Access Name"}
                                << QStringList{"1", "Clerks", "2", "EDIT_ORDERS"};
        QTest::newRow("usage") << ReportType::Usage << "Usage Report" << true << quint16(0)
                               << QStringList{"Log Entry", "Date", "User Name", "Access Name"}
                               << QStringList{"2", "3/2/2026 00:00:00", "alice", "VIEW_ORDERS"};
        QTest::newRow("users")
            << ReportType::Users << "User Report" << true << quint16(0)
            << QStringList{"ID",           "Name",    "Field 1", "Field 2", "User_LastAccess",
                           "Access Count", "Enabled", "Admin"}
            << QStringList{"1", "alice", "Sales", "101", "0", "True", "True"};
        QTest::newRow("users with access")
            << ReportType::UserAccess << "User Access Report" << true << report::dt::Right
            << QStringList{"User ID", "User Name", "Type", "Access Label"}
            << QStringList{"1", "alice", "C", "VIEW_ORDERS"};
    }

    void titleBlockAndHeadings()
    {
        QFETCH(ReportType, type);
        QFETCH(QString, title);
        QFETCH(bool, titleCentered);
        QFETCH(quint16, dateAlignment);
        QFETCH(QStringList, headings);
        QFETCH(QStringList, firstRecord);
        SecurityReports &reports = reportsOn(*m_scenario);
        const auto pages = build(reports, type);

        QCOMPARE(pages->PageWidth(), 11.0); // landscape Letter
        QCOMPARE(pages->PageHeight(), 8.5);
        const QList<QStringList> lines = linesOf(*pages, 1);
        QVERIFY(lines.size() > 3);
        QCOMPARE(lines.at(0), QStringList{title});
        // The Usage report states its period after the alias.
        const QString period =
            type == ReportType::Usage
                ? QStringLiteral(", ") + securityreports::periodText(ScenarioDays)
                : QString();
        QCOMPARE(lines.at(1), (QStringList{"Alias: REPORTED" + period, today()}));
        QCOMPARE(lines.at(2), headings);
        QCOMPARE(lines.at(3), firstRecord);

        const report::TTextBoxCmd *titleBox = reporttest::findText(*pages, title);
        QCOMPARE(bool(titleBox->Flags & report::dt::Center), titleCentered);
        const report::TTextBoxCmd *dateBox = reporttest::findText(*pages, today());
        QCOMPARE(quint16(dateBox->Flags & (report::dt::Center | report::dt::Right)), dateAlignment);
        QCOMPARE(dateBox->Font.bold, true); // the heading font
        QCOMPARE(titleBox->Font, reports.design(type)->TitleFont());
        QCOMPARE(titleBox->Font.size, 14);
        QCOMPARE(reporttest::findText(*pages, headings.first())->Font.size, 12);
    }

    void recordsAndCalculatedNames_data()
    {
        QTest::addColumn<ReportType>("type");
        QTest::addColumn<QList<QStringList>>("records");
        QTest::newRow("usage: supervisor, logon and a deleted constant")
            << ReportType::Usage
            << QList<QStringList>{
                   {"2", "3/2/2026 00:00:00", "alice", "VIEW_ORDERS"},
                   {"3", "3/2/2026 08:00:00", "Unknown", "*** Logon ***"},
                   {"4", "3/2/2026 09:00:00", "bob", "Unknown"},
                   {"5", "3/3/2026 23:59:59", "alice", "*** Logon ***"},
               };
        QTest::newRow("users with access: a deleted constant and a deleted group")
            << ReportType::UserAccess
            << QList<QStringList>{
                   {"1", "alice", "C", "VIEW_ORDERS"},
                   {"1", "alice", "G", "Clerks"},
                   {"2", "bob", "C", "**Constant not found"},
                   {"2", "bob", "G", "**Group not found"},
               };
        QTest::newRow("groups: only memberships of existing groups and constants")
            << ReportType::Groups
            << QList<QStringList>{{"1", "Clerks", "2", "EDIT_ORDERS"},
                                  {"1", "Clerks", "1", "VIEW_ORDERS"}};
        QTest::newRow("access constants by name")
            << ReportType::AccessConstants
            << QList<QStringList>{{"2", "EDIT_ORDERS"}, {"1", "VIEW_ORDERS"}};
    }

    void recordsAndCalculatedNames()
    {
        QFETCH(ReportType, type);
        QFETCH(QList<QStringList>, records);
        SecurityReports &reports = reportsOn(*m_scenario);
        const auto pages = build(reports, type);
        const QList<QStringList> lines = linesOf(*pages, 1);
        // Title, subtitle with date, headings; then the records and the page number, if any.
        QCOMPARE(lines.mid(3, records.size()), records);
        const qsizetype after = 3 + records.size();
        QVERIFY(lines.size() == after || lines.at(after) == QStringList{"1"});
    }

    void usersReportShowsNoPassword()
    {
        SecurityReports &reports = reportsOn(*m_scenario);
        const auto pages = build(reports, ReportType::Users);
        QCOMPARE(linesOf(*pages, 1).at(4), (QStringList{"2", "bob", "0", "False", "False"}));
        for (const report::TTextBoxCmd *box : reporttest::textBoxes(*pages)) {
            QVERIFY(!box->Text.contains(reportdata::AlicePassword));
            QVERIFY(!box->Text.contains(reportdata::BobPassword));
            QVERIFY(box->Text != QLatin1String("Password"));
        }
    }

    void columnsTakeTheirAlignmentsAndFitThePage()
    {
        SecurityReports &reports = reportsOn(*m_scenario);
        const auto pages = build(reports, ReportType::Users);
        const auto heading = [&](const QString &text) {
            return reporttest::findText(*pages, text);
        };
        // Centred: the ids and the two flags; Access Count stays right-aligned as a number.
        for (const char *centred : {"ID", "Enabled", "Admin"})
            QVERIFY2(heading(QLatin1String(centred))->Flags & report::dt::Center, centred);
        QVERIFY(heading(QStringLiteral("Access Count"))->Flags & report::dt::Right);
        QCOMPARE(heading(QStringLiteral("Name"))->Flags & (report::dt::Center | report::dt::Right),
                 0);
        // All eight columns end inside the right margin of the landscape page.
        QVERIFY2(heading(QStringLiteral("Admin"))->X2 <= 11.0 - 0.5 + 0.3,
                 qPrintable(QString::number(heading(QStringLiteral("Admin"))->X2)));
    }

    void pageNumbersAtTheFootOfEveryPage_data()
    {
        QTest::addColumn<ReportType>("type");
        QTest::addColumn<bool>("numbered");
        QTest::newRow("access constants") << ReportType::AccessConstants << true;
        QTest::newRow("groups, never") << ReportType::Groups << false;
        QTest::newRow("usage") << ReportType::Usage << true;
        QTest::newRow("users") << ReportType::Users << true;
        QTest::newRow("users with access") << ReportType::UserAccess << true;
    }

    void pageNumbersAtTheFootOfEveryPage()
    {
        QFETCH(ReportType, type);
        QFETCH(bool, numbered);
        SecurityReports &reports = reportsOn(*m_many);
        const auto pages = build(reports, type, {reportdata::FirstDay, reportdata::FirstDay});
        QCOMPARE(pages->PageCount(), 2);
        for (int page = 1; page <= pages->PageCount(); ++page) {
            const report::TTextBoxCmd *footer = reporttest::textBoxes(*pages, page).last();
            const bool atFoot = footer->Text == QString::number(page) &&
                                qFuzzyCompare(footer->Y1, 8.5 - 0.8) &&
                                qFuzzyCompare(footer->X1, 0.5) && qFuzzyCompare(footer->X2, 10.5) &&
                                (footer->Flags & report::dt::Center);
            QCOMPARE(atFoot, numbered);
            // Every page repeats the title block and the headings.
            QCOMPARE(linesOf(*pages, page).at(0), QStringList{reports.design(type)->Title()});
        }
    }

    void usageDays_data()
    {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("one day") << reportdata::LastDay << reportdata::LastDay << QStringList{"5"};
        QTest::newRow("the day before") << reportdata::FirstDay.addDays(-1)
                                        << reportdata::FirstDay.addDays(-1) << QStringList{"1"};
        QTest::newRow("a last day before the first is refused")
            << reportdata::LastDay << reportdata::FirstDay << QStringList{};
        QTest::newRow("days without entries say so")
            << QDate(2020, 1, 1) << QDate(2020, 1, 2) << QStringList{};
        QTest::newRow("to the last day a date can have")
            << reportdata::FirstDay << QDate(9999, 12, 31) << QStringList{"2", "3", "4", "5", "6"};
    }

    void usageDays()
    {
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(QStringList, entries);
        SecurityReports &reports = reportsOn(*m_scenario);
        if (first > last) {
            QVERIFY_THROWS_EXCEPTION(dbe::Error, build(reports, ReportType::Usage, {first, last}));
            QVERIFY(!reports.tblLog->isOpen());
            return;
        }
        const auto pages = build(reports, ReportType::Usage, {first, last});
        QCOMPARE(pages->PageCount(), 1);
        if (entries.isEmpty()) {
            // The title block and the headings, then the sentence instead of rows.
            const QList<QStringList> lines = linesOf(*pages, 1);
            QCOMPARE(lines.at(3), QStringList{QStringLiteral("There are no log entries from ") +
                                              securityreports::periodText({first, last}) + '.'});
            return;
        }
        QStringList listed;
        for (const QStringList &line : linesOf(*pages, 1).mid(3, entries.size()))
            listed.append(line.first());
        QCOMPARE(listed, entries);
        QCOMPARE(linesOf(*pages, 1).size(), 3 + entries.size() + 1); // and the page number
    }

    void dataSetsAreClosedAfterEveryBuild_data()
    {
        QTest::addColumn<ReportType>("type");
        QTest::addColumn<QString>("missingTable");
        for (int i = 0; i < securityreports::ReportTypeCount; ++i)
            QTest::addRow("%s", qPrintable(securityreports::reportTypeNames().at(i)))
                << ReportType(i) << QString();
        QTest::newRow("usage without its log") << ReportType::Usage << "LOG.DB";
        QTest::newRow("users with access without the rights")
            << ReportType::UserAccess << "USERACC.DB";
        QTest::newRow("users without the users") << ReportType::Users << "USERS.DB";
    }

    void dataSetsAreClosedAfterEveryBuild()
    {
        QFETCH(ReportType, type);
        QFETCH(QString, missingTable);
        // One damaged copy for every row, its missing table put back after the row; nothing
        // holds a connection to it, so each build opens the tables anew.
        QString moved;
        const auto putBack = qScopeGuard([&moved] {
            if (!moved.isEmpty())
                QFile::rename(moved + QStringLiteral(".away"), moved);
        });
        if (!missingTable.isEmpty()) {
            if (!m_damaged) {
                m_damaged = std::make_unique<testsupport::SecurityDb>(QStringLiteral("DAMAGED"));
                reportdata::fillScenario(*m_damaged);
            }
            moved = QDir(m_damaged->dir()).filePath(missingTable);
            QVERIFY(QFile::rename(moved, moved + QStringLiteral(".away")));
        }
        SecurityReports &reports = reportsOn(missingTable.isEmpty() ? *m_scenario : *m_damaged);
        QString failure;
        try {
            build(reports, type);
        } catch (const dbe::Error &error) {
            failure = error.text();
        }
        QCOMPARE(failure.isEmpty(), missingTable.isEmpty());
        QVERIFY2(failure.contains(missingTable.section('.', 0, 0), Qt::CaseInsensitive),
                 qPrintable(failure));
        for (dbe::DataSet *data : reports.findChildren<dbe::DataSet *>())
            QVERIFY2(!data->isOpen(), qPrintable(data->objectName()));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestSecurityReports test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_securityreports.moc"
