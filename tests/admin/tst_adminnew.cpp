// New: the Security Information dialog and the creation of a security database from it.

#include "admin/admnunt.h"
#include "admin/databasenames.h"
#include "admin/dirslunt.h"
#include "admin/filebrowsers.h"
#include "dbe/aliasconfig.h"
#include "dbe/session.h"
#include "tests/admin/adminfixture.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <optional>

namespace {

const QString TablesFound = QStringLiteral("Security databases found at this location. Please "
                                           "remove databases or select a new directory.");

struct NewInput {
    QString directory;
    QString alias;
    bool chooseFromList = false;
    QString password = QStringLiteral("Master1");
};

// Fills the dialog as an administrator would and presses OK.
testsupport::ExpectDialog<TFormOpenSecurity> answerNewDialog(const NewInput &input)
{
    return testsupport::ExpectDialog<TFormOpenSecurity>([input](TFormOpenSecurity *dialog) {
        dialog->dlbDirectory->setDirectory(input.directory);
        if (input.chooseFromList)
            dialog->cmboxAlias->setCurrentIndex(dialog->cmboxAlias->findText(input.alias));
        else
            QTest::keyClicks(dialog->cmboxAlias->lineEdit(), input.alias);
        dialog->edPassword->setText(input.password);
        dialog->edConfirm->setText(input.password);
        dialog->bbnOk->click();
    });
}

QStringList tableFiles(const QString &directory)
{
    return QDir(directory).entryList({QStringLiteral("*.DB")}, QDir::Files, QDir::Name);
}

} // namespace

class TestAdminNew : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedOverExistingTablesInAnyCase_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("lower case") << "program.db";
        QTest::newRow("upper case") << "PROGRAM.DB";
        QTest::newRow("mixed case") << "Program.Db";
    }

    void refusedOverExistingTablesInAnyCase()
    {
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        QFile existing(QDir(dir.path()).filePath(fileName));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        TFormAdmin window;
        ui::MessageRecorder messages;
        auto newDialog = answerNewDialog({dir.path(), QStringLiteral("REFUSED")});
        window.New1Click();
        VESK_VERIFY_DIALOG(newDialog);
        QCOMPARE(messages.texts(), QStringList{TablesFound});
        QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("REFUSED")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{fileName});
        QVERIFY(CurrentAlias.isEmpty());
    }

    void typedAliasIsRegisteredCreatedAndOpened()
    {
        testsupport::SecurityDb before(QStringLiteral("BEFORE"));
        QTemporaryDir dir;
        TFormAdmin window;
        window.OpenSecurity(before.alias());
        ui::MessageRecorder messages;
        auto newDialog =
            answerNewDialog({dir.path(), QStringLiteral("FRESH"), false, QStringLiteral("Fresh7")});
        window.New1Click();
        VESK_VERIFY_DIALOG(newDialog);

        QVERIFY(messages.texts().isEmpty());
        dbe::Session &session = dbe::Session::instance();
        QVERIFY(session.hasAlias(QStringLiteral("FRESH")));
        QCOMPARE(session.alias(QStringLiteral("FRESH")).path, dir.path());
        QVERIFY(session.alias(QStringLiteral("FRESH")).persistent);
        QCOMPARE(tableFiles(dir.path()).size(), 7);
        QVERIFY(!window.CreateFailed);
        QCOMPARE(CurrentAlias, QStringLiteral("FRESH"));
        QCOMPARE(window.panelText(1), QStringLiteral("Alias: FRESH"));
        QCOMPARE(window.panelText(2), QString());
        QVERIFY(window.Security1->menuAction()->isVisible());

        // The alias outlives the program: another reader of the configuration finds it.
        session.reloadConfig();
        QVERIFY(session.hasAlias(QStringLiteral("FRESH")));
        session.deleteAlias(QStringLiteral("FRESH"));
        session.saveConfig();
    }

    void failedCreationLeavesNoAliasAndKeepsDesktopState()
    {
        testsupport::SecurityDb before(QStringLiteral("KEPTOPEN"));
        QTemporaryDir dir;
        // A folder where the log's table file belongs makes the engine refuse that table.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("LOG.DB")));
        TFormAdmin window;
        window.OpenSecurity(before.alias());
        ui::MessageRecorder messages;
        auto newDialog = answerNewDialog({dir.path(), QStringLiteral("HALFMADE")});
        window.New1Click();
        VESK_VERIFY_DIALOG(newDialog);

        QCOMPARE(messages.texts().size(), 1);
        QVERIFY2(messages.lastText().startsWith(QStringLiteral("DBE Error : ")),
                 qPrintable(messages.lastText()));
        QVERIFY(window.CreateFailed);
        QCOMPARE(CurrentAlias, before.alias());
        QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("HALFMADE")));
        for (const dbe::AliasInfo &saved :
             dbe::AliasConfig::read(dbe::Session::instance().configFile()))
            QVERIFY(saved.name != QStringLiteral("HALFMADE"));
        // The tables made before the refused one stay; none after it is made.
        QCOMPARE(tableFiles(dir.path()), (QStringList{"ACCESS.DB", "GROUPS.DB", "GRPCOLL.DB"}));
    }

    // The tables go where an existing alias points, whatever the dialog's directory list shows;
    // that is where existing tables must be looked for, and where they must not be emptied.
    void existingAliasIsCheckedWhereItPoints_data()
    {
        QTest::addColumn<bool>("chooseFromList");
        QTest::addColumn<QString>("atAlias");  // a table file there, or none
        QTest::addColumn<bool>("tablesShown"); // the directory shown holds tables
        QTest::addColumn<QStringList>("expectedMessages");
        const QStringList refused{TablesFound};
        QTest::newRow("chosen, its tables exist") << true << "all" << false << refused;
        QTest::newRow("typed again, its tables exist") << false << "all" << false << refused;
        QTest::newRow("chosen, only its users table exists")
            << true << "USERS.DB" << false << refused;
        QTest::newRow("chosen, only a lower-case log exists")
            << true << "log.db" << false << refused;
        QTest::newRow("chosen, it points at an empty directory")
            << true << "" << false << QStringList();
        QTest::newRow("chosen, empty there, tables in the directory shown")
            << true << "" << true << QStringList();
        QTest::newRow("typed again, it points at an empty directory")
            << false << "" << false << QStringList{QStringLiteral("Unable to add alias.")};
    }

    void existingAliasIsCheckedWhereItPoints()
    {
        QFETCH(bool, chooseFromList);
        QFETCH(QString, atAlias);
        QFETCH(bool, tablesShown);
        QFETCH(QStringList, expectedMessages);
        std::optional<testsupport::SecurityDb> existing;
        QTemporaryDir aliasDir;
        dbe::Session &session = dbe::Session::instance();
        if (atAlias == QLatin1String("all")) {
            existing.emplace(QStringLiteral("TAKEN"));
            existing->addUser(QStringLiteral("Alice"), QStringLiteral("pw"));
        } else {
            if (!atAlias.isEmpty()) {
                QFile table(QDir(aliasDir.path()).filePath(atAlias));
                QVERIFY(table.open(QIODevice::WriteOnly));
                QVERIFY(table.write("keep me") > 0);
            }
            session.addStandardAlias(QStringLiteral("TAKEN"), aliasDir.path());
            session.saveConfig();
        }
        const QString target = existing ? existing->dir() : aliasDir.path();
        const QStringList before = QDir(target).entryList(QDir::Files);
        QTemporaryDir shown;
        if (tablesShown) {
            QFile program(QDir(shown.path()).filePath(QStringLiteral("PROGRAM.DB")));
            QVERIFY(program.open(QIODevice::WriteOnly));
        }
        TFormAdmin window;
        ui::MessageRecorder messages;
        auto newDialog = answerNewDialog({shown.path(), QStringLiteral("TAKEN"), chooseFromList});
        window.New1Click();
        VESK_VERIFY_DIALOG(newDialog);

        QCOMPARE(messages.texts(), expectedMessages);
        QCOMPARE(session.alias(QStringLiteral("TAKEN")).path, target);
        QCOMPARE(tableFiles(shown.path()), tablesShown ? QStringList{"PROGRAM.DB"} : QStringList{});
        if (expectedMessages == QStringList{TablesFound}) {
            // Nothing was touched where the alias points.
            QCOMPARE(QDir(target).entryList(QDir::Files), before);
            if (existing)
                QCOMPARE(existing->rowCount(QStringLiteral("USERS.DB")), 1);
            QCOMPARE(CurrentAlias, QString());
        } else {
            QCOMPARE(tableFiles(target).size(), 7);
            QCOMPARE(CurrentAlias, QStringLiteral("TAKEN"));
        }
        CurrentAlias.clear();
        if (!existing)
            session.deleteAlias(QStringLiteral("TAKEN"));
    }

    void aliasPathDropsFinalSeparatorButKeepsRoot_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("path");
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("folder with separator") << "/srv/security/"
                                               << "/srv/security";
        QTest::newRow("folder without separator") << "/srv/security"
                                                  << "/srv/security";
    }

    void aliasPathDropsFinalSeparatorButKeepsRoot()
    {
        QFETCH(QString, directory);
        QFETCH(QString, path);
        QCOMPARE(AliasPathFor(directory), path);
    }

    void cancelChangesNothing()
    {
        testsupport::SecurityDb open;
        TFormAdmin window;
        window.OpenSecurity(open.alias());
        const QStringList aliases = dbe::Session::instance().aliasNames();
        ui::MessageRecorder messages;
        testsupport::ExpectDialog<TFormOpenSecurity> newDialog([](TFormOpenSecurity *dialog) {
            QTest::keyClicks(dialog->cmboxAlias->lineEdit(), QStringLiteral("NEVER"));
            dialog->edPassword->setText(QStringLiteral("pw"));
            dialog->bbnCancel->click();
        });
        window.New1Click();
        VESK_VERIFY_DIALOG(newDialog);
        QVERIFY(messages.texts().isEmpty());
        QCOMPARE(dbe::Session::instance().aliasNames(), aliases);
        QCOMPARE(CurrentAlias, open.alias());
    }

    void dialogStartsInDocumentsWithKnownAliases()
    {
        testsupport::SecurityDb db(QStringLiteral("LISTED"));
        TFormOpenSecurity dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Security Information"));
        // Never the program's working directory, where an OK at once would drop the tables.
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QCOMPARE(dialog.dlbDirectory->directory(),
                 QFileInfo(documents).isDir() ? documents : QDir::homePath());
        QStringList items;
        for (int i = 0; i < dialog.cmboxAlias->count(); ++i)
            items.append(dialog.cmboxAlias->itemText(i));
        QCOMPARE(items, KnownDatabaseNames());
        QVERIFY(items.contains(QStringLiteral("LISTED")));
        QCOMPARE(dialog.cmboxAlias->currentText(), QString());
        QCOMPARE(dialog.aliasItemIndex(), -1);
        QVERIFY(dialog.edPassword->echoMode() == QLineEdit::Password);
        QCOMPARE(dialog.edDir->maxLength(), 255);
    }

    void choosingAliasFreezesDirectoryPart()
    {
        testsupport::SecurityDb db(QStringLiteral("CHOSEN"));
        TFormOpenSecurity dialog;
        dialog.show();
        const QList<QWidget *> directoryPart{dialog.dlbDirectory, dialog.dcxDrives, dialog.edDir,
                                             dialog.btnCreateDir};
        for (QWidget *control : directoryPart)
            QVERIFY(control->isEnabled());
        dialog.cmboxAlias->setCurrentIndex(dialog.cmboxAlias->findText(QStringLiteral("CHOSEN")));
        QVERIFY(dialog.aliasItemIndex() >= 0);
        for (QWidget *control : directoryPart)
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QTest::keyClick(dialog.cmboxAlias->lineEdit(), Qt::Key_Backspace);
        QCOMPARE(dialog.aliasItemIndex(), -1);
        for (QWidget *control : directoryPart)
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }

    void rootBoxMovesDirectoryList()
    {
        TFormOpenSecurity dialog;
        QVERIFY(dialog.dcxDrives->findText(QStringLiteral("/")) >= 0);
        QVERIFY(dialog.dlbDirectory->directory().startsWith(dialog.dcxDrives->currentText()));
        const int root = dialog.dcxDrives->findText(QStringLiteral("/"));
        dialog.dcxDrives->setCurrentIndex(root);
        Q_EMIT dialog.dcxDrives->activated(root);
        QCOMPARE(dialog.dlbDirectory->directory(), QStringLiteral("/"));
    }

    void createDirectory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("alreadyThere");
        QTest::addColumn<bool>("enter");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<QStringList>("expectedMessages");
        QTest::newRow("empty name does nothing") << "" << false << false << false << QStringList();
        QTest::newRow("new name moves into it")
            << "secdata" << false << false << true << QStringList();
        QTest::newRow("existing name is refused")
            << "secdata" << true << false << false
            << QStringList{QStringLiteral("Error occured creating directory")};
        QTest::newRow("Enter creates and moves, the dialog stays")
            << "secdata" << false << true << true << QStringList();
        QTest::newRow("Enter on an existing name is refused, the dialog stays")
            << "secdata" << true << true << false
            << QStringList{QStringLiteral("Error occured creating directory")};
        QTest::newRow("names longer than eight characters")
            << "security databases" << false << true << true << QStringList();
    }

    void createDirectory()
    {
        QFETCH(QString, name);
        QFETCH(bool, alreadyThere);
        QFETCH(bool, enter);
        QFETCH(bool, moves);
        QFETCH(QStringList, expectedMessages);
        QTemporaryDir parent;
        if (alreadyThere)
            QVERIFY(QDir(parent.path()).mkdir(name));
        TFormOpenSecurity dialog;
        dialog.dlbDirectory->setDirectory(parent.path());
        ui::MessageRecorder messages;
        if (enter) {
            dialog.show();
            QTest::keyClicks(dialog.edDir, name);
            QTest::keyClick(dialog.edDir, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.result(), 0);
        } else {
            dialog.edDir->setText(name);
            dialog.btnCreateDir->click();
        }
        QCOMPARE(messages.texts(), expectedMessages);
        const QString target = QDir(parent.path()).filePath(name);
        QCOMPARE(dialog.dlbDirectory->directory(), moves ? target : parent.path());
        QCOMPARE(dialog.edDir->text(), moves ? QString() : name);
        if (!name.isEmpty())
            QVERIFY(QFileInfo(target).isDir());
    }

    void okNeedsAliasAndPassword_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("password"); // "|" and a server's connection after it
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focused");
        QTest::newRow("no alias") << ""
                                  << "pw"
                                  << "An Alias must be either selected or created."
                                  << "cmboxAlias";
        QTest::newRow("no password") << "NEWONE"
                                     << ""
                                     << "A Password must be selected."
                                     << "edPassword";
        // The confirmation gets "pw"; a typo in either field is caught before anything is made.
        QTest::newRow("passwords differ") << "NEWONE"
                                          << "pW"
                                          << "The two master passwords differ. Type the same "
                                             "password in both fields."
                                          << "edConfirm";
        QTest::newRow("server without schema")
            << "NEWONE"
            << "pw|host=localhost"
            << "A database on a server needs its connection and its schema."
            << "edSchema";
    }

    void okNeedsAliasAndPassword()
    {
        QFETCH(QString, alias);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, focused);
        TFormOpenSecurity dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(dialog.cmboxAlias->lineEdit(), alias);
        QVERIFY(dialog.edPassword->echoMode() == QLineEdit::Password);
        dialog.edPassword->setText(password.section(QLatin1Char('|'), 0, 0));
        dialog.edConfirm->setText(QStringLiteral("pw"));
        if (password.contains(QLatin1Char('|'))) {
            dialog.grpServer->setChecked(true);
            dialog.edConnection->setText(password.section(QLatin1Char('|'), 1));
        }
        dialog.bbnCancel->setFocus();
        ui::MessageRecorder messages;
        dialog.bbnOk->click();
        QCOMPARE(messages.texts(), QStringList{message});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY2(focus->objectName() == focused || focus->parentWidget()->objectName() == focused,
                 qPrintable(focus->objectName()));

        // Cancel always closes.
        messages.clear();
        dialog.bbnCancel->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(messages.texts().isEmpty());
    }

    // A typed name becomes a section header of the engine's configuration; "new\n[PROD]" would
    // have rewritten the alias PROD.
    void okRefusesAliasNamesTheConfigurationCannotHold_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("message");
        QTest::newRow("line break") << "new\n[PROD]"
                                    << "An alias name cannot contain a line break.";
        QTest::newRow("carriage return") << "new\rx"
                                         << "An alias name cannot contain a line break.";
        QTest::newRow("bracket") << "PROD]"
                                 << "An alias name cannot contain '[' or ']'.";
        QTest::newRow("equals") << "PATH=/tmp"
                                << "An alias name cannot contain '='.";
        QTest::newRow("control character")
            << QStringLiteral("a\x01b") << "An alias name cannot contain control characters.";
        QTest::newRow("leading blank") << " PROD"
                                       << "An alias name cannot begin or end with a blank.";
        QTest::newRow("trailing blank") << "PROD "
                                        << "An alias name cannot begin or end with a blank.";
    }

    void okRefusesAliasNamesTheConfigurationCannotHold()
    {
        QFETCH(QString, alias);
        QFETCH(QString, message);
        QTemporaryDir dir;
        TFormAdmin window;
        ui::MessageRecorder messages;
        testsupport::ExpectDialog<TFormOpenSecurity> newDialog(
            [alias, &dir](TFormOpenSecurity *dialog) {
                dialog->dlbDirectory->setDirectory(dir.path());
                dialog->cmboxAlias->lineEdit()->setText(alias); // pasted, not typed
                dialog->edPassword->setText(QStringLiteral("pw"));
                dialog->bbnOk->click();
                // Still open: the name can be mended. Cancel to end the command.
                if (dialog->isVisible())
                    dialog->bbnCancel->click();
            });
        const QStringList aliases = dbe::Session::instance().aliasNames();
        window.New1Click();
        VESK_VERIFY_DIALOG(newDialog);
        QCOMPARE(messages.texts(), QStringList{message});
        QCOMPARE(dbe::Session::instance().aliasNames(), aliases);
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminNew)
#include "tst_adminnew.moc"
