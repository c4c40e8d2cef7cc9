// The desktop's main window: its state with and without an open database, hints, the password
// prompt, Open through the alias list, Close, Setup, About, help, the top-level error handler
// and the program's own start-up with an alias and --screenshot.

#include "admin/aboutframes.h"
#include "admin/admnunt.h"
#include "admin/databasenames.h"
#include "admin/dirslunt.h"
#include "admin/frmabout.h"
#include "admin/passwordprompt.h"
#include "admin/pickdlg.h"
#include "admin/printsetup.h"
#include "admin/statuspanel.h"
#include "dbe/aliasconfig.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "setup/frmsecmn.h"
#include "tests/admin/adminfixture.h"
#include "tests/support/privatecupsd.h"
#include "ui/helpwindow.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <functional>
#include <vector>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

namespace {

const QString NoSecurityFiles =
    QStringLiteral("Valid Security files were not found at the location specified by the "
                   "selected alias.  Check your BDE configuration for possible errors.");

bool menuShown(const QMenu *menu)
{
    return menu->menuAction()->isVisible();
}

} // namespace

class TestAdminWindow : public QObject
{
    Q_OBJECT

    testsupport::PrivateCupsd m_cupsd;

private Q_SLOTS:
    void init() { dbe::Session::instance().removeAllPasswords(); }

    void initTestCase()
    {
        // Started before anything asks CUPS for printers; every window then sees its queues.
        QString error;
        QVERIFY2(m_cupsd.start(&error), qPrintable(error));
        for (const QString &queue : {QStringLiteral("VeskDesk"), QStringLiteral("VeskLabels")}) {
            QVERIFY2(m_cupsd.addFileQueue(
                         queue, m_cupsd.dir() + QLatin1Char('/') + queue + QStringLiteral(".pdf"),
                         &error),
                     qPrintable(error));
        }
    }

    void cleanupTestCase() { m_cupsd.stop(); }

    void startStateShowsNoDatabase()
    {
        TFormAdmin window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Security Administration Desktop"));
        // No display name for the window system to append to every caption: the title bars show
        // the windows' own texts, whole.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
        QCOMPARE(window.panelText(0), QStringLiteral("Hint"));
        QCOMPARE(window.panelText(1), QStringLiteral("Alias:"));
        QCOMPARE(window.panelText(2), QString());
        QVERIFY(!menuShown(window.Security1));
        QVERIFY(!menuShown(window.Tools1));
        QVERIFY(menuShown(window.File1));
        QVERIFY(menuShown(window.Help1));
        QVERIFY(!window.Close1->isEnabled());
        QVERIFY(!window.spbtnSetup->isEnabled());
        QVERIFY(!window.spbtnGenerate->isEnabled());
        for (QToolButton *always : {window.spbtnNew, window.spbtnOpen, window.spbtnHelp})
            QVERIFY(always->isEnabled());
        QVERIFY(CurrentAlias.isEmpty());
    }

    void hintsGoToFirstPanel_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("hint");
        QTest::newRow("New item") << "New1"
                                  << ""
                                  << "Create new security database";
        QTest::newRow("Print Setup item") << "PrintSetup1"
                                          << ""
                                          << "Change printer settings";
        QTest::newRow("About item") << "About1"
                                    << ""
                                    << "View Program Information";
        QTest::newRow("New button") << "spbtnNew"
                                    << "New"
                                    << "Create new security database";
        QTest::newRow("Generate button") << "spbtnGenerate"
                                         << "Generate"
                                         << "Output security constants";
        QTest::newRow("Help button") << "spbtnHelp"
                                     << "Help"
                                     << "Display Contents of Help File";
    }

    void hintsGoToFirstPanel()
    {
        QFETCH(QString, control);
        QFETCH(QString, tooltip);
        QFETCH(QString, hint);
        TFormAdmin window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (auto *action = window.findChild<QAction *>(control)) {
            action->showStatusText(window.menuBar());
            QCOMPARE(window.panelText(0), hint);
        } else {
            auto *button = window.findChild<QToolButton *>(control);
            QVERIFY(button);
            QCOMPARE(button->toolTip(), tooltip);
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(button, &enter);
            QCOMPARE(window.panelText(0), hint);
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(button, &leave);
            QCOMPARE(window.panelText(0), QString());
        }
    }

    void openWithoutSettingsRowLeavesTitleEmpty()
    {
        testsupport::SecurityDb db(QStringLiteral("NOSETTINGS"));
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QCOMPARE(CurrentAlias, db.alias());
        QCOMPARE(window.panelText(1), QStringLiteral("Alias: NOSETTINGS"));
        QCOMPARE(window.panelText(2), QString());
        QVERIFY(menuShown(window.Security1));
        QVERIFY(menuShown(window.Tools1));
        QVERIFY(window.Close1->isEnabled());
        QVERIFY(window.spbtnSetup->isEnabled());
        QVERIFY(window.spbtnGenerate->isEnabled());
    }

    void openShowsSecurityLabel_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("fits");
        QTest::newRow("short: whole") << "Head Office" << true;
        QTest::newRow("long: elided, whole in the tooltip")
            << "Order Desk - Head Office and Accounts Receivable" << false;
    }

    void openShowsSecurityLabel()
    {
        QFETCH(QString, label);
        QFETCH(bool, fits);
        testsupport::SecurityDb db;
        db.setSettings(true, false, label);
        TFormAdmin window;
        window.show();
        window.OpenSecurity(db.alias());
        QCOMPARE(window.SecurityLabel, label);
        QCOMPARE(window.panelText(2), label);
        auto *panel = window.findChild<StatusPanel *>(QStringLiteral("sbMainStatusPanel2"));
        QVERIFY(panel);
        QVERIFY(panel->geometry().right() < window.width());
        QCOMPARE(panel->shownText() == label, fits);
        QCOMPARE(panel->toolTip(), fits ? QString() : label);
        if (!fits) {
            QVERIFY(panel->shownText().endsWith(QChar(0x2026)));
            QVERIFY(panel->fontMetrics().horizontalAdvance(panel->shownText()) <=
                    panel->contentsRect().width());
            // Room enough, and the whole label shows again.
            window.resize(1000, window.height());
            QTRY_COMPARE(panel->shownText(), label);
            QCOMPARE(panel->toolTip(), QString());
        }
    }

    void failedOpenClosesTheOpenDatabase_data()
    {
        QTest::addColumn<bool>("aliasExists");
        QTest::newRow("alias of a folder without tables") << true;
        QTest::newRow("alias the engine does not know") << false;
    }

    void failedOpenClosesTheOpenDatabase()
    {
        QFETCH(bool, aliasExists);
        testsupport::SecurityDb db;
        QTemporaryDir empty;
        if (aliasExists)
            dbe::Session::instance().addStandardAlias(QStringLiteral("EMPTYDIR"), empty.path());
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QCOMPARE(CurrentAlias, db.alias());

        ui::MessageRecorder messages;
        const testsupport::LogCapture log;
        window.OpenSecurity(QStringLiteral("EMPTYDIR"));
        if (aliasExists)
            dbe::Session::instance().deleteAlias(QStringLiteral("EMPTYDIR"));
        QCOMPARE(messages.texts(), QStringList{NoSecurityFiles});
        // The engine's own reason is in the log.
        QVERIFY2(log.text().contains(aliasExists ? QStringLiteral("Table does not exist")
                                                 : QStringLiteral("Unknown database: EMPTYDIR")),
                 qPrintable(log.text()));
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
        QVERIFY(CurrentAlias.isEmpty());
        QVERIFY(!menuShown(window.Security1));
        QVERIFY(!menuShown(window.Tools1));
        QCOMPARE(window.panelText(1), QStringLiteral("Alias:"));
        QCOMPARE(window.panelText(2), QString());
    }

    // The prompt names the alias; a refused password keeps the open database and asks again,
    // three times at most.
    void passwordPromptUnlocksOrAsksAgain_data()
    {
        QTest::addColumn<QStringList>("answers"); // typed passwords; "" cancels
        QTest::newRow("right password") << QStringList{"Secret9"};
        QTest::newRow("right at the third try") << QStringList{"x", "y", "Secret9"};
        QTest::newRow("wrong three times") << QStringList{"x", "y", "z"};
        QTest::newRow("wrong, then cancelled") << QStringList{"x", ""};
    }
    void passwordPromptUnlocksOrAsksAgain()
    {
        QFETCH(QStringList, answers);
        const bool opens = answers.last() == QLatin1String("Secret9");
        testsupport::SecurityDb kept(QStringLiteral("KEPT"), QStringLiteral("Kept1"));
        testsupport::SecurityDb db(QStringLiteral("PROMPTED"), QStringLiteral("Secret9"));
        TFormAdmin window;
        window.OpenSecurity(kept.alias());
        dbe::Session::instance().closeDatabases();
        dbe::Session::instance().removeAllPasswords();
        dbe::Session::instance().addPassword(QStringLiteral("Kept1"));
        // Each prompt's driver sets up the next one's before its prompt closes.
        QStringList prompts;
        std::vector<std::unique_ptr<testsupport::ExpectDialog<TPasswordPrompt>>> drivers;
        std::function<void()> expectPrompt = [&] {
            drivers.push_back(std::make_unique<testsupport::ExpectDialog<TPasswordPrompt>>(
                [&](TPasswordPrompt *prompt) {
                    const QString typed = answers.value(prompts.size());
                    prompts.append(prompt->lblPrompt->text());
                    if (prompts.size() < answers.size())
                        expectPrompt();
                    QTest::keyClicks(prompt->edPassword, typed);
                    (typed.isEmpty() ? prompt->btnCancel : prompt->btnOk)->click();
                }));
        };
        expectPrompt();
        ui::MessageRecorder messages;
        window.OpenSecurity(db.alias());
        for (const auto &driver : drivers)
            VESK_VERIFY_DIALOG(*driver);
        QCOMPARE(prompts.size(), answers.size());
        QVERIFY(prompts.last().contains(QStringLiteral("PROMPTED")));
        QCOMPARE(CurrentAlias, opens ? db.alias() : kept.alias());
        QCOMPARE(messages.texts().size(), answers.size() == 3 && !opens ? 1 : 0);
    }

    void openThroughAliasList_data()
    {
        QTest::addColumn<QString>("choice"); // "cancel", "none" or an alias to double-click
        QTest::addColumn<QString>("openAfter");
        QTest::newRow("cancelled") << "cancel"
                                   << "FIRST";
        QTest::newRow("OK without selection") << "none"
                                              << "FIRST";
        QTest::newRow("double click") << "SECOND"
                                      << "SECOND";
        QTest::newRow("saved by another program since the start") << "LATER"
                                                                   << "LATER";
    }

    void openThroughAliasList()
    {
        QFETCH(QString, choice);
        QFETCH(QString, openAfter);
        testsupport::SecurityDb first(QStringLiteral("FIRST"));
        testsupport::SecurityDb second(QStringLiteral("SECOND"));
        TFormAdmin window;
        window.OpenSecurity(first.alias());
        // Another program saves an alias for the second database while the desktop runs.
        dbe::AliasInfo later;
        later.name = QStringLiteral("LATER");
        later.path = second.dir();
        dbe::AliasConfig::add(dbe::Session::instance().configFile(), {later});
        const auto forget = qScopeGuard([] {
            dbe::AliasConfig::remove(dbe::Session::instance().configFile(),
                                     QStringLiteral("LATER"));
            dbe::Session::instance().reloadConfig();
        });
        const QStringList known = KnownDatabaseNames();
        QStringList offered;
        QString label;
        QString caption;
        QString highlighted;
        testsupport::ExpectDialog<TfrmPickList> pickDialog([&](TfrmPickList *pick) {
            highlighted = pick->lboxList->currentItem()->text();
            caption = pick->windowTitle();
            label = pick->lblLabel->text();
            for (int row = 0; row < pick->lboxList->count(); ++row)
                offered.append(pick->lboxList->item(row)->text());
            if (choice == QLatin1String("cancel")) {
                pick->bbtnCancel->click();
            } else if (choice == QLatin1String("none")) {
                pick->bbtnOk->click();
            } else {
                const QList<QListWidgetItem *> items =
                    pick->lboxList->findItems(choice, Qt::MatchExactly);
                QCOMPARE(items.size(), 1);
                const QRect rect = pick->lboxList->visualItemRect(items.first());
                QTest::mouseClick(pick->lboxList->viewport(), Qt::LeftButton, {}, rect.center());
                QTest::mouseDClick(pick->lboxList->viewport(), Qt::LeftButton, {}, rect.center());
            }
        });
        window.Open1Click();
        VESK_VERIFY_DIALOG(pickDialog);
        QCOMPARE(caption, QStringLiteral("Select Security Alias"));
        QCOMPARE(label, QStringLiteral("Alias:"));
        QCOMPARE(offered, known);
        QCOMPARE(highlighted, first.alias());
        QCOMPARE(CurrentAlias, openAfter);
    }

    void closeReturnsToStartState()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false, QStringLiteral("Branch"));
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        window.Close1Click();
        QVERIFY(CurrentAlias.isEmpty());
        QCOMPARE(window.panelText(1), QStringLiteral("Alias:"));
        QCOMPARE(window.panelText(2), QString());
        QVERIFY(!menuShown(window.Security1));
        QVERIFY(!window.Close1->isEnabled());
    }

    void setupOpensEditorOnCurrentAlias()
    {
        testsupport::SecurityDb db;
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QString alias;
        bool hidden = true;
        testsupport::ExpectDialog<TFormMain> editorDialog([&](TFormMain *editor) {
            alias = editor->AliasName();
            hidden = editor->HideAccessButtons();
            editor->reject();
        });
        window.Setup1Click();
        VESK_VERIFY_DIALOG(editorDialog);
        QCOMPARE(alias, db.alias());
        QVERIFY(!hidden);
    }

    void printSetupChoosesAmongTheSystemsPrinters()
    {
        // The two real queues of the test's own scheduler (initTestCase).
        QTest::failOnWarning(QRegularExpression(QStringLiteral("non-native")));

        TFormAdmin window;
        QStringList offered;
        QString paper;
        testsupport::ExpectDialog<PrintSetupDialog> choose([&](PrintSetupDialog *dialog) {
            for (int i = 0; i < dialog->cmbPrinter->count(); ++i)
                offered << dialog->cmbPrinter->itemText(i);
            dialog->cmbPrinter->setCurrentIndex(offered.indexOf(QStringLiteral("VeskLabels")));
            QVERIFY(dialog->cmbPaper->count() > 1);
            dialog->cmbPaper->setCurrentIndex(dialog->cmbPaper->count() - 1);
            paper = dialog->cmbPaper->currentText();
            dialog->rbLandscape->setChecked(true);
            dialog->buttons->button(QDialogButtonBox::Ok)->click();
        });
        window.PrintSetup1Click();
        VESK_VERIFY_DIALOG(choose);
        offered.sort();
        QCOMPARE(offered, QStringList({"VeskDesk", "VeskLabels"}));
        QCOMPARE(window.printer()->outputFormat(), QPrinter::NativeFormat);
        QCOMPARE(window.printer()->printerName(), QStringLiteral("VeskLabels"));
        QCOMPARE(window.printer()->pageLayout().pageSize().name(), paper);
        QCOMPARE(window.printer()->pageLayout().orientation(), QPageLayout::Landscape);

        // Shown again it starts on that choice; Cancel keeps it whatever was changed.
        QString startsOn;
        testsupport::ExpectDialog<PrintSetupDialog> cancel([&](PrintSetupDialog *dialog) {
            startsOn = dialog->cmbPrinter->currentText() + QLatin1Char('|') +
                       dialog->cmbPaper->currentText() + QLatin1Char('|') +
                       (dialog->rbLandscape->isChecked() ? "landscape" : "portrait");
            dialog->cmbPrinter->setCurrentIndex(offered.indexOf(QStringLiteral("VeskDesk")));
            dialog->rbPortrait->setChecked(true);
            dialog->buttons->button(QDialogButtonBox::Cancel)->click();
        });
        window.PrintSetup1Click();
        VESK_VERIFY_DIALOG(cancel);
        QCOMPARE(startsOn, QStringLiteral("VeskLabels|%1|landscape").arg(paper));
        QCOMPARE(window.printer()->printerName(), QStringLiteral("VeskLabels"));
        QCOMPARE(window.printer()->pageLayout().orientation(), QPageLayout::Landscape);
    }

    void aboutBoxTexts()
    {
        TFormAdmin window;
        QStringList texts;
        testsupport::ExpectDialog<TformAbout> aboutDialog([&](TformAbout *about) {
            texts << about->windowTitle() << about->lblProgName->text() << about->lblVersion->text()
                  << about->lbProgrammers->item(0)->text() << about->tnbkInfo->tabText(0)
                  << about->tnbkInfo->tabText(1);
            about->btnOk->click();
        });
        window.About1Click();
        VESK_VERIFY_DIALOG(aboutDialog);
        QCOMPARE(texts, (QStringList{"Vesk Application Information",
                                     "VeskSecure Security Administration", "Version 2.0",
                                     "The VeskSecure developers", "Development", "System"}));
    }

    void aboutAnimationCyclesFifteenFrames()
    {
        TformAbout about;
        QCOMPARE(about.frameIndex(), -1);
        QCOMPARE(about.frames().size(), 15);
        QCOMPARE(about.tmAnimation->interval(), 175);
        for (int i = 0; i < 15; ++i) {
            for (int j = i + 1; j < 15; ++j)
                QVERIFY2(about.frames().at(i) != about.frames().at(j), "two frames are alike");
        }
        about.tmAnimationTimer();
        QCOMPARE(about.frameIndex(), 0);
        QCOMPARE(about.pbxLogo->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 aboutframes::drawFrame(1));
        for (int tick = 2; tick <= 15; ++tick)
            about.tmAnimationTimer();
        QCOMPARE(about.frameIndex(), 14);
        about.tmAnimationTimer();
        QCOMPARE(about.frameIndex(), 0);
    }

    void helpContentsAndSearch()
    {
        TFormAdmin window;
        ui::MessageRecorder messages;
        window.Contents1Click();
        QVERIFY(messages.texts().isEmpty());
        QVERIFY(window.helpWindow() && window.helpWindow()->isVisible());
        QCOMPARE(window.helpWindow()->currentPage().fileName(), QStringLiteral("contents.html"));
        auto *topics = window.helpWindow()->findChild<QListWidget *>(QStringLiteral("lbContents"));
        QVERIFY(topics);
        const QList<QListWidgetItem *> viewLog = topics->findItems(
            QStringLiteral("Viewing and clearing the activity log"), Qt::MatchExactly);
        QCOMPARE(viewLog.size(), 1);
        topics->setCurrentItem(viewLog.first());
        QCOMPARE(window.helpWindow()->currentPage().fileName(), QStringLiteral("viewlog.html"));

        window.SearchforHelp1Click();
        auto *keyword = window.helpWindow()->findChild<QLineEdit *>(QStringLiteral("edKeyword"));
        auto *list = window.helpWindow()->findChild<QListWidget *>(QStringLiteral("lbKeywords"));
        QVERIFY(keyword && list);
        QVERIFY(keyword->text().isEmpty());
        QTest::keyClicks(keyword, QStringLiteral("c++ h"));
        QCOMPARE(list->currentItem()->text(), QStringLiteral("C++ Header File"));
        QTest::keyClick(keyword, Qt::Key_Return);
        QCOMPARE(window.helpWindow()->currentPage().fileName(), QStringLiteral("generate.html"));
    }

    void f1OpensTheWindowsTopic_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("topic");
        QTest::newRow("main window") << "main"
                                     << "mainwindow.html";
        QTest::newRow("New") << "new"
                             << "newdatabase.html";
        QTest::newRow("Open's list") << "pick"
                                     << "opendatabase.html";
        QTest::newRow("Print Setup") << "print"
                                     << "mainwindow.html";
    }

    void f1OpensTheWindowsTopic()
    {
        QFETCH(QString, window);
        QFETCH(QString, topic);
        TFormAdmin main;
        std::unique_ptr<QWidget> dialog;
        if (window == QLatin1String("new"))
            dialog = std::make_unique<TFormOpenSecurity>(&main);
        else if (window == QLatin1String("pick"))
            dialog = std::make_unique<TfrmPickList>(&main);
        else if (window == QLatin1String("print"))
            dialog = std::make_unique<PrintSetupDialog>(main.printer(), &main);
        QWidget *shown = dialog ? dialog.get() : &main;
        shown->show();
        QApplication::setActiveWindow(shown);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QTest::keyClick(shown, Qt::Key_F1);
        auto *help = shown->findChild<ui::HelpWindow *>();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->currentPage().fileName(), topic);
        // Over the window it helps with, not at the screen's corner.
        QVERIFY(help->frameGeometry().contains(shown->frameGeometry().center()) ||
                shown->frameGeometry().contains(help->frameGeometry().center()));
        // A link followed inside the page moves the contents list with it.
        auto *contents = help->findChild<QListWidget *>(QStringLiteral("lbContents"));
        help->findChild<QTextBrowser *>()->setSource(
            QUrl::fromLocalFile(QDir(ui::HelpBook::find(QStringLiteral("admin")).folder())
                                    .absoluteFilePath(QStringLiteral("rights.html"))));
        QCOMPARE(contents->currentItem()->text(),
                 QStringLiteral("Granting and taking away rights"));
    }

    void helpBookLinksAndKeywordsResolve()
    {
        const ui::HelpBook book = ui::HelpBook::find(QStringLiteral("admin"));
        QVERIFY(book.isValid());
        const QDir dir(book.folder());
        const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(pages.size() > 5);
        const QRegularExpression link(QStringLiteral("href=\"([^\"#]+)"));
        for (const QString &page : pages) {
            QFile file(dir.filePath(page));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY2(html.contains(QStringLiteral("name=\"keywords\"")), qPrintable(page));
            for (const QRegularExpressionMatch &match : link.globalMatch(html))
                QVERIFY2(dir.exists(match.captured(1)),
                         qPrintable(page + " -> " + match.captured(1)));
        }
        for (const QString &keyword :
             {QStringLiteral("New"), QStringLiteral("Generate"), QStringLiteral("View Log"),
              QStringLiteral("View Users"), QStringLiteral("master password"),
              QStringLiteral("rights, granting"), QStringLiteral("drag and drop")})
            QVERIFY2(book.keywords().contains(keyword), qPrintable(keyword));
    }

    void engineErrorInEventHandlerIsShown()
    {
        ui::MessageRecorder messages;
        QTimer::singleShot(
            0, [] { throw dbe::Error(QStringLiteral("Table is busy."), dbe::Error::Locked); });
        QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("Table is busy.")});
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
    }

    void programStartsOnAliasAndWritesScreenshot_data()
    {
        QTest::addColumn<bool>("passwordInEnvironment");
        QTest::newRow("password from VESK_MASTER_PASSWORD") << true;
        QTest::newRow("no password and nobody to ask") << false;
    }

    void programStartsOnAliasAndWritesScreenshot()
    {
        QFETCH(bool, passwordInEnvironment);
        testsupport::SecurityDb db(QStringLiteral("SHOTDB"), QStringLiteral("Shot5"));
        db.setSettings(true, false, QStringLiteral("Screenshot Label"));
        dbe::Session::instance().saveConfig();
        QTemporaryDir out;
        const QString picture = out.filePath(QStringLiteral("main.png"));

        QProcess secadmin;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (passwordInEnvironment)
            environment.insert(QStringLiteral("VESK_MASTER_PASSWORD"), db.password());
        else
            environment.remove(QStringLiteral("VESK_MASTER_PASSWORD"));
        secadmin.setProcessEnvironment(environment);
        secadmin.start(QStringLiteral(VESK_SECADMIN),
                       {QStringLiteral("--screenshot"), picture, db.alias()});
        QVERIFY(secadmin.waitForFinished(30000));
        QCOMPARE(secadmin.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(secadmin.readAllStandardOutput()).trimmed(), picture);
        const QString errors = QString::fromLocal8Bit(secadmin.readAllStandardError());
        QCOMPARE(errors.contains(NoSecurityFiles), !passwordInEnvironment);

        const QImage image(picture);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 464 && image.height() >= 329);
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminWindow)
#include "tst_adminwindow.moc"
