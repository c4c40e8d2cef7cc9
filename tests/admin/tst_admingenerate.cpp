// Generate: the declaration lines, the destinations and their refusals, the C++ header compiled
// by a real compiler, and the same texts from the command line tool.

#include "admin/admnunt.h"
#include "admin/filebrowsers.h"
#include "admin/gendlunt.h"
#include "dbe/session.h"
#include "rules/constantsource.h"
#include "tests/admin/adminfixture.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

namespace {

QString readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Chooses a destination and a file name in the dialog and presses OK once.
struct GenerateChoice {
    int destination = TfrmGenerate::Clipboard;
    QString directory;
    QString fileName;
};

testsupport::ExpectDialog<TfrmGenerate> chooseInGenerateDialog(const GenerateChoice &choice,
                                                               bool thenCancel = false)
{
    return testsupport::ExpectDialog<TfrmGenerate>([choice, thenCancel](TfrmGenerate *dialog) {
        if (!choice.directory.isEmpty())
            dialog->DirectoryListBox1->setDirectory(choice.directory);
        if (choice.destination != TfrmGenerate::Clipboard &&
            choice.destination != TfrmGenerate::CppClipboard)
            dialog->edFile->setText(choice.fileName);
        dialog->rgrpGen->setItemIndex(choice.destination);
        dialog->bbtnOk->click();
        if (thenCancel && dialog->isVisible())
            dialog->bbtnCancel->click();
    });
}

} // namespace

class TestAdminGenerate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineLayout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("line");
        QTest::newRow("short name filled to 23") << "Edit Users"
                                                 << "  dsc_Edit_Users         =1;\r\n";
        QTest::newRow("identifier of 22 gets one blank") << "ABCDEFGHIJKLMNOPQR"
                                                         << "  dsc_ABCDEFGHIJKLMNOPQR =1;\r\n";
        QTest::newRow("identifier of 23 gets none") << "ABCDEFGHIJKLMNOPQRS"
                                                    << "  dsc_ABCDEFGHIJKLMNOPQRS=1;\r\n";
        QTest::newRow("identifier of 24 is not cut") << "Print Monthly Summar"
                                                     << "  dsc_Print_Monthly_Summar=1;\r\n";
        QTest::newRow("every blank becomes an underscore") << "A B C"
                                                           << "  dsc_A_B_C              =1;\r\n";
        QTest::newRow("other characters pass unchanged") << "Größe-2 ändern"
                                                         << "  dsc_Größe-2_ändern     =1;\r\n";
    }

    void lineLayout()
    {
        QFETCH(QString, name);
        QFETCH(QString, line);
        testsupport::SecurityDb db;
        QCOMPARE(db.addAccess(name), 1);
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QApplication::clipboard()->setText(QStringLiteral("before"));
        auto generateDialog = chooseInGenerateDialog({});
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        QCOMPARE(QApplication::clipboard()->text(), line);
    }

    void clipboardTakesCppToo()
    {
        testsupport::SecurityDb db;
        db.addAccess(QStringLiteral("Edit Users"));
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        auto generateDialog = chooseInGenerateDialog({TfrmGenerate::CppClipboard, {}, {}});
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        const QString text = QApplication::clipboard()->text();
        QVERIFY2(text.startsWith(QStringLiteral("constexpr int dsc_Edit_Users")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("#ifndef")));
    }

    void linesFollowAccessIdsIntoPascalFile()
    {
        testsupport::SecurityDb db;
        db.addAccess(QStringLiteral("Zeta"));
        db.addAccess(QStringLiteral("Alpha"));
        db.addAccess(QStringLiteral("Mid Value"));
        QTemporaryDir out;
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        ui::MessageRecorder messages;
        auto generateDialog = chooseInGenerateDialog(
            {TfrmGenerate::PascalIncludeFile, out.path(), QStringLiteral("secconst.pas")});
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        QVERIFY(messages.texts().isEmpty());
        QCOMPARE(readFile(out.filePath(QStringLiteral("secconst.pas"))),
                 QStringLiteral("  dsc_Zeta               =1;\r\n"
                                "  dsc_Alpha              =2;\r\n"
                                "  dsc_Mid_Value          =3;\r\n"));
    }

    void emptyTableGivesEmptyText_data()
    {
        QTest::addColumn<int>("destination");
        QTest::newRow("clipboard") << int(TfrmGenerate::Clipboard);
        QTest::newRow("Pascal include file") << int(TfrmGenerate::PascalIncludeFile);
        QTest::newRow("C++ header") << int(TfrmGenerate::CppHeaderFile);
    }

    void emptyTableGivesEmptyText()
    {
        QFETCH(int, destination);
        testsupport::SecurityDb db;
        QTemporaryDir out;
        const QString fileName = destination == TfrmGenerate::CppHeaderFile
                                     ? QStringLiteral("none.h")
                                     : QStringLiteral("none.pas");
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QApplication::clipboard()->setText(QStringLiteral("before"));
        auto generateDialog = chooseInGenerateDialog({destination, out.path(), fileName});
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        const QString path = out.filePath(fileName);
        switch (destination) {
        case TfrmGenerate::Clipboard:
            QCOMPARE(QApplication::clipboard()->text(), QString());
            QVERIFY(!QFile::exists(path));
            break;
        case TfrmGenerate::PascalIncludeFile:
            QVERIFY(QFile::exists(path));
            QCOMPARE(QFileInfo(path).size(), 0);
            break;
        default:
            QCOMPARE(readFile(path), constsource::cppHeader({}, fileName));
            QVERIFY(!readFile(path).contains(QStringLiteral("constexpr")));
        }
    }

    void wildcardNameIsRefused_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("start text") << "*.pas";
        QTest::newRow("star inside") << "sec*.h";
    }

    void wildcardNameIsRefused()
    {
        QFETCH(QString, fileName);
        QTemporaryDir out;
        TfrmGenerate dialog;
        dialog.DirectoryListBox1->setDirectory(out.path());
        dialog.edFile->setText(fileName);
        dialog.rgrpGen->setItemIndex(TfrmGenerate::PascalIncludeFile);
        dialog.show();
        ui::MessageRecorder messages;
        dialog.bbtnOk->click();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Invalid file name.")});
        QVERIFY(dialog.isVisible());
    }

    void clipboardIgnoresTheFileName()
    {
        TfrmGenerate dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Generate Constants"));
        QCOMPARE(dialog.edFile->text(), QStringLiteral("*.pas"));
        QCOMPARE(dialog.destination(), TfrmGenerate::Clipboard);
        dialog.show();
        ui::MessageRecorder messages;
        dialog.bbtnOk->click();
        QVERIFY(messages.texts().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void existingFileNeedsConfirmation_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes overwrites") << true;
        QTest::newRow("No keeps the dialog open") << false;
    }

    void existingFileNeedsConfirmation()
    {
        QFETCH(bool, yes);
        testsupport::SecurityDb db;
        db.addAccess(QStringLiteral("Only"));
        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("old.pas"));
        writeFile(path, "old contents\r\n");
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        ui::MessageRecorder messages;
        if (!yes)
            messages.answerNo();
        bool stayedOpen = false;
        testsupport::ExpectDialog<TfrmGenerate> generateDialog([&](TfrmGenerate *dialog) {
            dialog->DirectoryListBox1->setDirectory(out.path());
            dialog->edFile->setText(QStringLiteral("old.pas"));
            dialog->bbtnOk->click();
            stayedOpen = dialog->isVisible();
            if (stayedOpen)
                dialog->bbtnCancel->click();
        });
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("File Exists. Overite?")});
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Confirmation);
        QCOMPARE(stayedOpen, !yes);
        QCOMPARE(readFile(path), yes ? QStringLiteral("  dsc_Only               =1;\r\n")
                                     : QStringLiteral("old contents\r\n"));
    }

    void unwritableFileIsReported_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("empty name") << "";
        QTest::newRow("missing folder") << "nofolder/sec.pas";
    }

    void unwritableFileIsReported()
    {
        QFETCH(QString, fileName);
        testsupport::SecurityDb db;
        db.addAccess(QStringLiteral("Only"));
        QTemporaryDir out;
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        ui::MessageRecorder messages;
        auto generateDialog =
            chooseInGenerateDialog({TfrmGenerate::PascalIncludeFile, out.path(), fileName});
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Unable to Save File.")});
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
    }

    void fileNameChoosesDestination_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("Pascal file from the list") << "list:consts.pas" << 0 << 1;
        QTest::newRow("header from the list") << "list:consts.h" << 0 << 2;
        QTest::newRow("header filter") << "filter:*.h" << 0 << 2;
        QTest::newRow("typed name without extension keeps the header") << "type:consts" << 2 << 2;
        QTest::newRow("typed name without extension leaves the clipboard")
            << "type:consts" << 0 << 1;
    }

    void fileNameChoosesDestination()
    {
        QFETCH(QString, how);
        QFETCH(int, before);
        QFETCH(int, after);
        QTemporaryDir dir;
        writeFile(QDir(dir.path()).filePath(QStringLiteral("consts.pas")), "");
        writeFile(QDir(dir.path()).filePath(QStringLiteral("consts.h")), "");
        TfrmGenerate dialog;
        dialog.DirectoryListBox1->setDirectory(dir.path());
        dialog.rgrpGen->setItemIndex(before);
        const QString kind = how.section(QLatin1Char(':'), 0, 0);
        const QString value = how.section(QLatin1Char(':'), 1);
        if (kind == QLatin1String("list")) {
            const QString mask = QFileInfo(value).suffix() == QLatin1String("h")
                                     ? QStringLiteral("*.h")
                                     : QStringLiteral("*.pas");
            dialog.FileListBox1->setMask(mask);
            dialog.FileListBox1->setCurrentRow(0);
            QCOMPARE(dialog.edFile->text(), value);
        } else if (kind == QLatin1String("filter")) {
            const int index = dialog.FilterComboBox1->findData(value);
            QVERIFY(index >= 0);
            dialog.FilterComboBox1->setCurrentIndex(index);
            Q_EMIT dialog.FilterComboBox1->activated(index);
            QCOMPARE(dialog.edFile->text(), value);
            QCOMPARE(dialog.FileListBox1->count(), 1);
        } else {
            dialog.edFile->clear();
            QTest::keyClicks(dialog.edFile, value);
        }
        QCOMPARE(int(dialog.destination()), after);
    }

    void cppHeaderCompilesAndDeclaresIds()
    {
        const QString compiler = QStandardPaths::findExecutable(QStringLiteral("g++"));
        if (compiler.isEmpty())
            QSKIP("g++ is not installed");
        testsupport::SecurityDb db;
        db.addAccess(QStringLiteral("Edit Users"));
        db.addAccess(QStringLiteral("Print-Report"));
        db.addAccess(QStringLiteral("Größe ändern"));
        db.addAccess(QStringLiteral("A B"));
        db.addAccess(QStringLiteral("A-B"));
        db.addAccess(QStringLiteral("9 Lives"));
        QTemporaryDir out;
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        ui::MessageRecorder messages;
        auto generateDialog = chooseInGenerateDialog(
            {TfrmGenerate::CppHeaderFile, out.path(), QStringLiteral("secconst.h")});
        window.Generate1Click();
        VESK_VERIFY_DIALOG(generateDialog);
        QVERIFY(messages.texts().isEmpty());

        const QString header = readFile(out.filePath(QStringLiteral("secconst.h")));
        QVERIFY(header.contains(QStringLiteral("#ifndef SECCONST_H")));
        QVERIFY(header.contains(QStringLiteral("constexpr int dsc_Edit_Users         =1;")));
        QVERIFY(header.contains(QStringLiteral("constexpr int dsc_Print_Report       =2;")));
        QVERIFY(header.contains(QStringLiteral("constexpr int dsc_Gr__e__ndern       =3;")));
        QVERIFY(header.contains(QStringLiteral("constexpr int dsc_A_B                =4;")));
        QVERIFY(header.contains(QStringLiteral("constexpr int dsc_A_B_5              =5;")));
        QVERIFY(header.contains(QStringLiteral("constexpr int dsc_9_Lives            =6;")));
        QVERIFY(header.indexOf(QStringLiteral("dsc_Edit_Users")) <
                header.indexOf(QStringLiteral("dsc_9_Lives")));

        writeFile(out.filePath(QStringLiteral("main.cpp")),
                  "#include \"secconst.h\"\n"
                  "#include \"secconst.h\"\n" // the guard makes a second include harmless
                  "#include <cstdio>\n"
                  "int main() { std::printf(\"%d %d %d\\n\", dsc_Print_Report, dsc_A_B_5, "
                  "dsc_9_Lives); }\n");
        QProcess gxx;
        gxx.setWorkingDirectory(out.path());
        gxx.start(compiler,
                  {QStringLiteral("-std=c++17"), QStringLiteral("-Wall"), QStringLiteral("-Werror"),
                   QStringLiteral("main.cpp"), QStringLiteral("-o"), QStringLiteral("printconst")});
        QVERIFY(gxx.waitForFinished(60000));
        QVERIFY2(gxx.exitCode() == 0, gxx.readAllStandardError().constData());
        QProcess program;
        program.start(out.filePath(QStringLiteral("printconst")), QStringList());
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.readAllStandardOutput(), QByteArray("2 5 6\n"));
    }

    void commandLineWritesTheSameTexts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("passwordFrom");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("failure"); // the reason a write fails, if it does
        QTest::newRow("Pascal, password from the environment") << "pascal"
                                                               << "environment" << true << "";
        QTest::newRow("C++, password as option") << "cpp"
                                                 << "option" << true << "";
        QTest::newRow("wrong password") << "cpp"
                                        << "wrong" << false << "";
        QTest::newRow("no password") << "pascal"
                                     << "none" << false << "";
        QTest::newRow("C++ to a full device") << "cpp"
                                              << "option" << false << "device full";
        // The old file is kept whole when the disk fills up half-way through the new one.
        QTest::newRow("Pascal over an old file, the disk full half-way")
            << "pascal"
            << "option" << false << "file size limit";
    }

    void commandLineWritesTheSameTexts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, passwordFrom);
        QFETCH(bool, succeeds);
        QFETCH(QString, failure);
        testsupport::SecurityDb db(QStringLiteral("CLIGEN"), QStringLiteral("Cli4"));
        db.addAccess(QStringLiteral("Edit Users"));
        db.addAccess(QStringLiteral("Print-Report"));
        dbe::Session::instance().saveConfig();
        QTemporaryDir out;
        const QString path = failure == QLatin1String("device full")
                                 ? testsupport::fullDevice(out.path())
                                 : out.filePath(kind == QLatin1String("cpp") ? "ids.h" : "ids.pas");
        if (!failure.isEmpty())
            writeFile(out.filePath(QStringLiteral("ids.pas")), "old contents\r\n");

        QStringList arguments{QStringLiteral("generate"), QStringLiteral("--alias"), db.alias(),
                              QStringLiteral("--") + kind, path};
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("VESK_MASTER_PASSWORD"));
        if (passwordFrom == QLatin1String("environment"))
            environment.insert(QStringLiteral("VESK_MASTER_PASSWORD"), db.password());
        else if (passwordFrom == QLatin1String("option"))
            arguments << QStringLiteral("--password") << db.password();
        else if (passwordFrom == QLatin1String("wrong"))
            arguments << QStringLiteral("--password") << QStringLiteral("cli4");
        QProcess vesksec;
        vesksec.setProcessEnvironment(environment);
        if (failure == QLatin1String("file size limit"))
            vesksec.setChildProcessModifier([] { testsupport::limitFileSize(16); });
        vesksec.start(QStringLiteral(VESK_VESKSEC), arguments);
        QVERIFY(vesksec.waitForFinished(30000));
        QCOMPARE(vesksec.exitCode() == 0, succeeds);
        if (!failure.isEmpty()) {
            const QString errors = QString::fromLocal8Bit(vesksec.readAllStandardError());
            const int reason = failure == QLatin1String("device full") ? ENOSPC : EFBIG;
            QVERIFY2(errors.contains(path + ": " + strerror(reason)), qPrintable(errors));
            QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"ids.pas"});
            QCOMPARE(readFile(out.filePath("ids.pas")), QStringLiteral("old contents\r\n"));
            return;
        }
        QCOMPARE(QFile::exists(path), succeeds);
        if (!succeeds)
            return;
        const QList<constsource::AccessConstant> constants{{1, QStringLiteral("Edit Users")},
                                                           {2, QStringLiteral("Print-Report")}};
        QCOMPARE(readFile(path), kind == QLatin1String("cpp")
                                     ? constsource::cppHeader(constants, path)
                                     : QStringLiteral("  dsc_Edit_Users         =1;\r\n"
                                                      "  dsc_Print-Report       =2;\r\n"));
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminGenerate)
#include "tst_admingenerate.moc"
