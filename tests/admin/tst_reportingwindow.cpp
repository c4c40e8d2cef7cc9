// The Reporting window: building each report into its preview, the Usage report's date dialog
// and its calendar, Build without a report, an engine failure, and the desktop's Reporting
// command that keeps one window per Close.

#include "admin/admnunt.h"
#include "admin/secdbunt.h"
#include "admin/usgdlunt.h"
#include "controls/calpop.h"
#include "controls/dateedit.h"
#include "dbe/query.h"
#include "dbe/table.h"
#include "report/frmgennav.h"
#include "report/frmgenwn.h"
#include "report/plswtunt.h"
#include "report/rptdsgn.h"
#include "reports/securityreports.h"
#include "tests/admin/adminfixture.h"
#include "tests/admin/reportdata.h"
#include "tests/report/reporttestkit.h"
#include "tests/support/modaldialog.h"
#include "tests/support/privatecupsd.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <sys/stat.h>

namespace {

QStringList previewTexts(const TFormGenWin &preview)
{
    QStringList texts;
    for (const report::TTextBoxCmd *box : reporttest::textBoxes(preview))
        texts.append(box->Text);
    return texts;
}

void keepPicture(QWidget *widget, const QString &name)
{
    reporttest::keepScreenshot(widget->grab().toImage(), name);
}

} // namespace

class TestReportingWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::SecurityDb> m_db;
    std::unique_ptr<dbe::Table> m_connection;
    // Started before anything asks for printers, without queues until the print test adds them.
    testsupport::PrivateCupsd m_cupsd;

    std::unique_ptr<TFormSecDB> openWindow(const QString &alias)
    {
        auto window = std::make_unique<TFormSecDB>();
        window->AliasName = alias;
        window->AssignAlias();
        window->show();
        return window;
    }

    static void chooseAndBuild(TFormSecDB &window, int index)
    {
        window.cmboxReportType->setCurrentIndex(index);
        window.spbtnExecute->click();
    }

    // A window with the Users report built and the keyboard; null when it cannot be activated.
    std::unique_ptr<TFormSecDB> activeWithUsersReport()
    {
        auto window = openWindow(m_db->alias());
        chooseAndBuild(*window, 3);
        // The please-wait box had the activation; a window manager hands it back.
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get()) ? std::move(window) : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_cupsd.start(&error), qPrintable(error));
        m_db = std::make_unique<testsupport::SecurityDb>(QStringLiteral("REPORTED"));
        reportdata::fillScenario(*m_db);
        m_connection = reportdata::holdConnection(m_db->alias());
    }

    void cleanupTestCase()
    {
        m_connection.reset();
        m_cupsd.stop();
    }

    void windowAsTheMainWindowMakesIt()
    {
        TFormSecDB window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Reporting"));
        window.AliasName = QStringLiteral("REPORTED");
        window.AssignAlias();
        QCOMPARE(window.windowTitle(), QStringLiteral("Security in REPORTED"));
        QVERIFY(window.isWindow());
        QCOMPARE(window.cmboxReportType->currentIndex(), -1);
        QStringList items;
        for (int i = 0; i < window.cmboxReportType->count(); ++i)
            items.append(window.cmboxReportType->itemText(i));
        QCOMPARE(items, (QStringList{"Access Constants", "Groups", "Usage", "Users",
                                     "Users (w/ Access)"}));
    }

    void buildWithoutAReportDoesNothing()
    {
        ui::MessageRecorder messages;
        auto window = openWindow(m_db->alias());
        window->fgwMain->StrRect(QStringLiteral("kept"), 1, 1, 2, 2);
        window->spbtnExecute->click();
        QCOMPARE(previewTexts(*window->fgwMain), QStringList{"kept"});
        QVERIFY(messages.requests().isEmpty());
    }

    void buildsEachReportIntoThePreview_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("record");
        QTest::newRow("access constants") << 0 << "Access Constants Report"
                                          << "EDIT_ORDERS";
        QTest::newRow("groups") << 1 << "Groups Report"
                                << "Clerks";
        QTest::newRow("users") << 3 << "User Report"
                               << "alice";
        QTest::newRow("users with access") << 4 << "User Access Report"
                                           << "**Group not found";
    }

    void buildsEachReportIntoThePreview()
    {
        QFETCH(int, index);
        QFETCH(QString, title);
        QFETCH(QString, record);
        ui::MessageRecorder messages;
        auto window = openWindow(m_db->alias());
        chooseAndBuild(*window, index);
        const QStringList texts = previewTexts(*window->fgwMain);
        QCOMPARE(texts.value(0), title);
        QCOMPARE(texts.value(1), QStringLiteral("Alias: REPORTED"));
        QVERIFY(texts.contains(record));
        QVERIFY(window->fgnReport->Button(1)->isEnabled()); // print, now that there are pages
        QVERIFY(messages.requests().isEmpty());
        // No please-wait box is left behind.
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<TfrmPlsWt *>(top) || !top->isVisible());
        keepPicture(window.get(), QStringLiteral("reporting-%1").arg(index));
    }

    void aSecondBuildWhileBuildingIsIgnored()
    {
        ui::MessageRecorder messages;
        auto window = openWindow(m_db->alias());
        window->cmboxReportType->setCurrentIndex(3);
        // The preview lets pending events through while it builds; this click arrives then.
        int clicks = 0;
        QTimer::singleShot(0, window->spbtnExecute, [&] {
            ++clicks;
            window->spbtnExecute->click();
        });
        window->spbtnExecute->click();
        QCOMPARE(clicks, 1);
        QVERIFY2(messages.requests().isEmpty(), qPrintable(messages.lastText()));
        const QStringList texts = previewTexts(*window->fgwMain);
        QCOMPARE(texts.count(QStringLiteral("User Report")), 1);
        QVERIFY(texts.contains(QStringLiteral("bob")));
    }

    void usageAsksForItsDays()
    {
        ui::MessageRecorder messages;
        auto window = openWindow(m_db->alias());
        QString caption;
        QSize clientSize;
        QString startText;
        QDate startDate;
        testsupport::ExpectDialog<TFrmUsageDlg> usageDialog([&](TFrmUsageDlg *dialog) {
            caption = dialog->windowTitle();
            clientSize = dialog->size();
            startText = dialog->dedStart->text();
            startDate = dialog->dedStart->Date();
            dialog->dedStart->SetDateValue(reportdata::FirstDay.startOfDay());
            dialog->dedEnd->SetDateValue(reportdata::LastDay.startOfDay());
            keepPicture(dialog, QStringLiteral("usage-dialog"));
            dialog->bbtnOk->click();
        });
        chooseAndBuild(*window, 2);
        VESK_VERIFY_DIALOG(usageDialog);
        QCOMPARE(caption, QStringLiteral("Select Ranges"));
        QCOMPARE(clientSize, QSize(339, 76));
        QCOMPARE(startDate, QDate(1995, 11, 9));
        QVERIFY2(startText.contains(QLatin1String("1995")) ||
                     startText.endsWith(QLatin1String("95")),
                 qPrintable(startText));
        const QStringList texts = previewTexts(*window->fgwMain);
        QCOMPARE(texts.value(0), QStringLiteral("Usage Report"));
        QVERIFY(texts.contains(QStringLiteral("*** Logon ***")));
        QVERIFY(texts.contains(QStringLiteral("3/3/2026 23:59:59")));
        QVERIFY(!texts.contains(QStringLiteral("3/4/2026 00:00:00")));
        QVERIFY(messages.requests().isEmpty());
        keepPicture(window.get(), QStringLiteral("reporting-2"));
    }

    void theDaysDialogsCalendarAndItsCancel()
    {
        auto window = openWindow(m_db->alias());
        chooseAndBuild(*window, 3);
        const QStringList before = previewTexts(*window->fgwMain);
        QCOMPARE(before.value(0), QStringLiteral("User Report"));
        QDate calendarDate;
        bool calendarShown = false;
        testsupport::ExpectDialog<TFrmUsageDlg> usageDialog([&](TFrmUsageDlg *dialog) {
            testsupport::ExpectDialog<TfrmCalPop> calendarDialog([&](TfrmCalPop *calendar) {
                calendarDate = calendar->CurrentDate();
                keepPicture(calendar, QStringLiteral("usage-calendar"));
            });
            dialog->dedEnd->Button()->click();
            calendarShown = calendarDialog.verify();
            dialog->bbtnCancel->click();
        });
        chooseAndBuild(*window, 2);
        VESK_VERIFY_DIALOG(usageDialog);
        QVERIFY(calendarShown);
        QCOMPARE(calendarDate, QDate(1995, 11, 9));
        // Cancelling the days leaves the preview as it was, with nothing left open.
        QCOMPARE(previewTexts(*window->fgwMain), before);
        for (const dbe::DataSet *data : window->Reports->findChildren<dbe::DataSet *>())
            QVERIFY(!data->isOpen());
    }

    void anEngineFailureIsShownAndEndsTheBuild()
    {
        testsupport::SecurityDb damaged(QStringLiteral("DAMAGED"));
        reportdata::fillScenario(damaged);
        QVERIFY(QFile::remove(QDir(damaged.dir()).filePath(QStringLiteral("GROUPS.DB"))));
        ui::MessageRecorder messages;
        auto window = openWindow(damaged.alias());
        window->fgwMain->StrRect(QStringLiteral("kept"), 1, 1, 2, 2);
        chooseAndBuild(*window, 4);
        QCOMPARE(messages.requests().size(), 1);
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
        QVERIFY2(messages.lastText().contains(QLatin1String("GROUPS.DB")),
                 qPrintable(messages.lastText()));
        QCOMPARE(previewTexts(*window->fgwMain), QStringList{"kept"});
        for (const dbe::DataSet *data : window->Reports->findChildren<dbe::DataSet *>())
            QVERIFY2(!data->isOpen(), qPrintable(data->objectName()));
        // The window goes on working: another report builds.
        chooseAndBuild(*window, 0);
        QCOMPARE(previewTexts(*window->fgwMain).value(0),
                 QStringLiteral("Access Constants Report"));
    }

    void keysReachThePreview_data()
    {
        QTest::addColumn<bool>("byTab");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("vertical");
        QTest::newRow("Tab, then Page Down") << true << int(Qt::Key_PageDown) << true;
        QTest::newRow("a click, then Down") << false << int(Qt::Key_Down) << true;
        QTest::newRow("a click, then Right") << false << int(Qt::Key_Right) << false;
    }

    void keysReachThePreview()
    {
        QFETCH(bool, byTab);
        QFETCH(int, key);
        QFETCH(bool, vertical);
        const auto window = activeWithUsersReport();
        QVERIFY(window);
        window->fgwMain->SetZoomPercent(200); // scroll bars both ways
        QTRY_VERIFY(window->fgwMain->ScrollBox()->verticalScrollBar()->maximum() > 0);
        if (byTab) {
            window->spbtnSavePdf->setFocus(Qt::TabFocusReason);
            QTest::keyClick(window->spbtnSavePdf, Qt::Key_Tab);
        } else {
            QTest::mouseClick(window->fgwMain->PaintBox(), Qt::LeftButton, {}, QPoint(40, 40));
        }
        QCOMPARE(QApplication::focusWidget(), window->fgwMain);
        QScrollBar *bar = vertical ? window->fgwMain->ScrollBox()->verticalScrollBar()
                                   : window->fgwMain->ScrollBox()->horizontalScrollBar();
        const int before = bar->value();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(bar->value() > before);
    }

    void theNavigatorAndThePageBoxByTab()
    {
        const auto window = activeWithUsersReport();
        QVERIFY(window);
        QCOMPARE(window->lblPageCount->text(), QStringLiteral("of 1"));
        QStringList names;
        window->spbtnExecute->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            names.append(focus->accessibleName().isEmpty() ? focus->objectName()
                                                           : focus->accessibleName());
        }
        // Previous and Next Page are left out while disabled, as a one-page report has them.
        QCOMPARE(names, (QStringList{"Print", "Clear", "Zoom", "Page", "spbtnSavePdf", "Preview",
                                     "cmboxReportType"}));
        for (int i = 0; i < 5; ++i)
            QVERIFY(!window->fgnReport->Button(i)->toolTip().isEmpty());
        // Fit page: the whole sheet inside the visible area, the box showing its percentage.
        window->fgnReport->ZoomBox()->setCurrentText(QStringLiteral("Fit page"));
        const QSize room = window->fgwMain->ScrollBox()->maximumViewportSize();
        QVERIFY(window->fgwMain->PaintBox()->width() <= room.width());
        QVERIFY(window->fgwMain->PaintBox()->height() <= room.height());
        QCOMPARE(window->fgnReport->ZoomBox()->currentText(),
                 QString::number(window->fgwMain->ZoomPercent()));
        QTRY_VERIFY(!window->fgwMain->ScrollBox()->verticalScrollBar()->isVisible());
        keepPicture(window.get(), QStringLiteral("reporting-fitpage"));
    }

    void theDaysDialogRefusesAStartAfterTheEnd()
    {
        ui::MessageRecorder messages;
        auto window = openWindow(m_db->alias());
        bool stayedOpen = false;
        testsupport::ExpectDialog<TFrmUsageDlg> usageDialog([&](TFrmUsageDlg *dialog) {
            dialog->dedStart->SetDateValue(reportdata::LastDay.startOfDay());
            dialog->dedEnd->SetDateValue(reportdata::FirstDay.startOfDay());
            dialog->bbtnOk->click();
            stayedOpen = dialog->isVisible() && dialog->focusWidget() == dialog->dedStart;
            dialog->dedEnd->SetDateValue(reportdata::LastDay.startOfDay());
            dialog->bbtnOk->click();
        });
        chooseAndBuild(*window, 2);
        VESK_VERIFY_DIALOG(usageDialog);
        QVERIFY(stayedOpen);
        QCOMPARE(messages.requests().size(), 1);
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Warning);
        QVERIFY2(messages.lastText().contains(QLatin1String("comes after the ending date")),
                 qPrintable(messages.lastText()));
        QCOMPARE(previewTexts(*window->fgwMain).value(0), QStringLiteral("Usage Report"));
    }

    void withoutAPrinterPrintOffersAPdf()
    {
        ui::MessageRecorder messages; // answers yes
        auto window = openWindow(m_db->alias());
        chooseAndBuild(*window, 0);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("constants"));
        window->AskPdfFileName = [&](const QString &suggested) {
            return suggested == QStringLiteral("Access Constants.pdf") ? file : QString();
        };
        window->fgnReport->Button(1)->click();
        QCOMPARE(messages.requests().size(), 1);
        QVERIFY2(messages.lastText().startsWith(QLatin1String("No printer is installed")),
                 qPrintable(messages.lastText()));
        QCOMPARE(reporttest::pdfPageCount(file + QStringLiteral(".pdf")), 1);
        QVERIFY(reporttest::pdfText(file + QStringLiteral(".pdf"), 1)
                    .contains(QLatin1String("EDIT_ORDERS")));
    }

    void printGoesToThePrinterOfPrintSetup()
    {
        QString error;
        const QString outDir = m_cupsd.dir() + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(outDir));
        ::chmod(QFile::encodeName(outDir).constData(), 0777);
        // "Alpha" would be taken were the choice ignored: there is no default printer.
        for (const QString &queue : {QStringLiteral("Alpha"), QStringLiteral("Chosen")})
            QVERIFY2(
                m_cupsd.addFileQueue(queue, outDir + '/' + queue + QStringLiteral(".pdf"), &error),
                qPrintable(error));
        TFormAdmin desktop;
        desktop.OpenSecurity(m_db->alias());
        desktop.printer()->setPrinterName(QStringLiteral("Chosen")); // what Print Setup's OK does
        desktop.spbtnReports->click();
        TFormSecDB *window = desktop.FormSecDB;
        QVERIFY(window);
        chooseAndBuild(*window, 0);
        ui::MessageRecorder messages;
        window->fgnReport->Button(1)->click();
        QVERIFY2(messages.requests().isEmpty(), qPrintable(messages.lastText()));
        QVERIFY2(m_cupsd.waitForCompletedJobs(QStringLiteral("Chosen"), 1, 60000, &error),
                 qPrintable(error));
        QCOMPARE(m_cupsd.completedJobs(QStringLiteral("Alpha")), 0);
    }

    void theDesktopKeepsOneReportingWindow()
    {
        testsupport::SecurityDb other(QStringLiteral("OTHER"));
        TFormAdmin desktop;
        QVERIFY(!desktop.spbtnReports->isEnabled());
        QVERIFY(!desktop.Tools1->menuAction()->isVisible());
        desktop.OpenSecurity(m_db->alias());
        QVERIFY(desktop.spbtnReports->isEnabled());
        QVERIFY(desktop.Reporting1->isEnabled());
        QVERIFY(desktop.Tools1->menuAction()->isVisible());
        QVERIFY(!desktop.FormSecDB);

        desktop.spbtnReports->click();
        QPointer<TFormSecDB> first = desktop.FormSecDB;
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("Security in REPORTED"));
        QCOMPARE(first->parentWidget(), &desktop);
        chooseAndBuild(*first, 0);

        first->close(); // only hides
        QVERIFY(first);
        QVERIFY(!first->isVisible());
        desktop.Reporting1->trigger();
        QCOMPARE(desktop.FormSecDB, first);
        QVERIFY(first->isVisible());
        QCOMPARE(previewTexts(*first->fgwMain).value(0), QStringLiteral("Access Constants Report"));

        // Opening the same database again keeps the window; another one closes it, so that no
        // report of the first is taken for the second.
        desktop.OpenSecurity(m_db->alias());
        QCOMPARE(desktop.FormSecDB, first);
        desktop.OpenSecurity(other.alias());
        QVERIFY(!first); // destroyed
        desktop.Reporting1->trigger();
        QCOMPARE(desktop.FormSecDB->AliasName, other.alias());

        // The window opens again where it was left, as large as it was.
        const QRect placed(40, 50, 700, 420);
        desktop.FormSecDB->setGeometry(placed);
        desktop.Close1Click();
        QVERIFY(!desktop.FormSecDB);
        desktop.OpenSecurity(other.alias());
        desktop.Reporting1->trigger();
        QCOMPARE(desktop.FormSecDB->geometry().size(), placed.size());
        QCOMPARE(desktop.FormSecDB->geometry().topLeft(), placed.topLeft());
        desktop.Close1Click();
        QVERIFY(!desktop.spbtnReports->isEnabled());
        desktop.OpenSecurity(other.alias());
        desktop.Reporting1->trigger();
        QVERIFY(desktop.FormSecDB);
        QCOMPARE(desktop.FormSecDB->windowTitle(), QStringLiteral("Security in OTHER"));
    }
};

VESK_ADMIN_TEST_MAIN(TestReportingWindow)

#include "tst_reportingwindow.moc"
