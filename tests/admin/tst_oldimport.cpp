// The conversion of the old files without a window, and the same from `vesksec import`: the rows
// and progress lines, the id maps, the system information, the header bytes, and that a failure
// or a cancel imports nothing and puts the header bytes back.

#include "import/oldfiles.h"
#include "import/oldimport.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "tests/admin/importfixture.h"
#include "tests/dbase/dbfwriter.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>

using importfixture::everyImportTarget;
using importfixture::OldFiles;
using importfixture::rowsOf;

namespace {

struct Outcome {
    QStringList lines;
    std::optional<oldimport::Result> result;
    QString failure;
};

// Runs the conversion. When `stopAt` is positive, the stopAt-th question whether to go on (one
// after each of the four tables opened, then one after each row) answers no.
Outcome runImport(const QString &dir, const QString &alias, bool system, int stopAt = 0)
{
    Outcome outcome;
    int rows = 0;
    try {
        outcome.result = oldimport::run({dir, alias, system},
                                        {[&](const QString &line) { outcome.lines.append(line); },
                                         [&] { return stopAt <= 0 || ++rows < stopAt; }});
    } catch (const dbe::Error &error) {
        outcome.failure = error.text();
    }
    return outcome;
}

void clearProgram(const QString &alias)
{
    dbe::Table program;
    program.setDatabaseName(alias);
    program.setTableName(QStringLiteral("PROGRAM.DB"));
    program.open();
    while (!program.isEmpty())
        program.remove();
}

QStringList programRows(const QString &alias)
{
    return rowsOf(alias, QStringLiteral("PROGRAM.DB"),
                  {QStringLiteral("Security_Label"), QStringLiteral("Enabled"),
                   QStringLiteral("Label1"), QStringLiteral("LogEnabled")});
}

} // namespace

class OldImportTest : public QObject
{
    Q_OBJECT

    // For the tests that only compare a database before and after: creating one costs more
    // than the import.
    importfixture::TargetDb &sharedDb()
    {
        if (!m_shared) {
            m_shared = std::make_unique<importfixture::TargetDb>(QStringLiteral("SHARED"));
            m_shared->addAccess(QStringLiteral("Existing"));
            m_shared->setSettings(true, false, QStringLiteral("Current"), QStringLiteral("Dept"));
        }
        return *m_shared;
    }
    std::unique_ptr<importfixture::TargetDb> m_shared;

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void convertsRowsWithNewIds()
    {
        OldFiles old;
        importfixture::TargetDb db;
        const Outcome outcome = runImport(old.dir(), db.alias(), false);
        QCOMPARE(outcome.failure, QString());
        QCOMPARE(outcome.result, oldimport::Result::Imported);
        QCOMPARE(outcome.lines, OldFiles::expectedLines(false));
        QCOMPARE(rowsOf(db.alias(), QStringLiteral("ACCESS.DB"),
                        {QStringLiteral("Access_ID"), QStringLiteral("Access_Name")}),
                 OldFiles::expectedAccess());
        const QStringList users = everyImportTarget(db.alias()).filter(QStringLiteral("USERS.DB"));
        QStringList expectedUsers;
        for (const QString &row : OldFiles::expectedUsers())
            expectedUsers.append(QStringLiteral("USERS.DB: ") + row);
        QCOMPARE(users, expectedUsers);
        QCOMPARE(rowsOf(db.alias(), QStringLiteral("USERACC.DB"),
                        {QStringLiteral("User_ID"), QStringLiteral("Access_ID"),
                         QStringLiteral("Type")}),
                 OldFiles::expectedRights());
        QCOMPARE(db.rowCount(QStringLiteral("GROUPS.DB")), 0);
    }

    void appendsAfterExistingRowsAndAgainOnASecondRun()
    {
        OldFiles old;
        importfixture::TargetDb db;
        db.addAccess(QStringLiteral("Existing"));
        db.addUser(QStringLiteral("EXISTING"), QStringLiteral("pw"));
        QCOMPARE(runImport(old.dir(), db.alias(), false).failure, QString());
        const Outcome second = runImport(old.dir(), db.alias(), false);
        QCOMPARE(second.failure, QString());
        QVERIFY(second.lines.contains(QStringLiteral("Edit Orders mapped from 5 to 5")));
        QVERIFY(second.lines.contains(QStringLiteral("JSMITH mapped from 3 to 5")));
        QVERIFY(second.lines.contains(QStringLiteral("Id 6 added for user 5")));
        QCOMPARE(db.rowCount(QStringLiteral("ACCESS.DB")), 7);
        QCOMPARE(db.rowCount(QStringLiteral("USERS.DB")), 7);
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), 8);
    }

    void firstMapEntryWinsForAnOldIdUsedTwice()
    {
        OldFiles old;
        old.constants = {{5, QStringLiteral("First")}, {5, QStringLiteral("Second")}};
        old.users = {{3, QStringLiteral("A"), {}}, {3, QStringLiteral("B"), {}}};
        old.rights = {{3, 5}};
        old.write();
        importfixture::TargetDb db;
        QCOMPARE(runImport(old.dir(), db.alias(), false).failure, QString());
        QCOMPARE(rowsOf(db.alias(), QStringLiteral("USERACC.DB"),
                        {QStringLiteral("User_ID"), QStringLiteral("Access_ID")}),
                 QStringList{QStringLiteral("1|1")});
    }

    void systemInformation_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("rowBefore");
        QTest::addColumn<QList<oldfixture::System>>("oldRows");
        QTest::addColumn<QStringList>("after"); // label|Enabled|Label1|LogEnabled
        const QList<oldfixture::System> standard = {
            {QStringLiteral("Old Security ™"), QChar(u'T')}};
        const QStringList current = {QStringLiteral("Current|True|Dept|False")};
        QTest::newRow("not checked, empty table stays empty")
            << false << false << standard << QStringList();
        QTest::newRow("not checked, row untouched") << false << true << standard << current;
        QTest::newRow("checked, empty table gets one row")
            << true << false << standard << QStringList{QStringLiteral("Old Security ™|||True")};
        QTest::newRow("checked, row overwritten")
            << true << true << standard
            << QStringList{QStringLiteral("Old Security ™|True|Dept|True")};
        QTest::newRow("blank logging is blank")
            << true << true << QList<oldfixture::System>{{QStringLiteral("Blank"), QVariant()}}
            << QStringList{QStringLiteral("Blank|True|Dept|")};
        QTest::newRow("only the first row counts")
            << true << false
            << QList<oldfixture::System>{{QStringLiteral("First"), QChar(u'Y')},
                                         {QStringLiteral("Second"), QChar(u'F')}}
            << QStringList{QStringLiteral("First|||True")};
        QTest::newRow("a file without rows changes nothing")
            << true << true << QList<oldfixture::System>{} << current;
    }

    void systemInformation()
    {
        QFETCH(bool, checked);
        QFETCH(bool, rowBefore);
        QFETCH(QList<oldfixture::System>, oldRows);
        QFETCH(QStringList, after);
        OldFiles old;
        old.system = oldRows;
        old.write();
        importfixture::TargetDb &db = sharedDb();
        clearProgram(db.alias());
        if (rowBefore)
            db.setSettings(true, false, QStringLiteral("Current"), QStringLiteral("Dept"));
        const Outcome outcome = runImport(old.dir(), db.alias(), checked);
        QCOMPARE(outcome.failure, QString());
        QCOMPARE(outcome.lines.last() == QStringLiteral("** Converting System Information **"),
                 checked);
        QCOMPARE(programRows(db.alias()), after);
    }

    void headerFlagIsOneAfterASuccessfulImport_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("0") << 0;
        QTest::newRow("other") << 0x5A;
    }

    void headerFlagIsOneAfterASuccessfulImport()
    {
        QFETCH(int, before);
        OldFiles old;
        old.setHeaderFlags({before, before, before, before});
        const QString alias = sharedDb().alias();
        QCOMPARE(runImport(old.dir(), alias, true).failure, QString());
        QCOMPARE(old.headerFlags(), QList<int>({1, 1, 1, 1}));
        old.setHeaderFlags({before, before, before, before});
        QCOMPARE(runImport(old.dir(), alias, false).failure, QString());
        QCOMPARE(old.headerFlags(), QList<int>({1, 1, 1, before})); // WOBSEC4 was not read
    }

    void failureImportsNothing_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("failure");  // the start of the error text
        QTest::addColumn<QString>("mentions"); // and what else it says
        QTest::newRow("two identical rights") << "duplicate right"
                                              << "Key violation."
                                              << "(WOBSEC3.DBF, record 4)";
        QTest::newRow("rights file missing") << "remove WOBSEC3.DBF"
                                             << "Cannot change the header of "
                                             << "WOBSEC3.DBF";
        QTest::newRow("users file cut short") << "cut WOBSEC1.DBF"
                                              << "WOBSEC1.DBF is cut short"
                                              << "announces 4 records";
        QTest::newRow("constants file is no dBASE table") << "text WOBSEC2.DBF"
                                                          << "WOBSEC2.DBF is not a dBASE table."
                                                          << "";
        QTest::newRow("blank user id")
            << "blank user id"
            << "WOBSEC1.DBF, record 3, field UID: it is blank where a number is needed."
            << "";
        QTest::newRow("letters in a right's constant id")
            << "letters in right"
            << "WOBSEC3.DBF, record 2, field ACCESSID: \"7x\" is not a whole number."
            << "";
    }

    void failureImportsNothing()
    {
        QFETCH(QString, damage);
        QFETCH(QString, failure);
        QFETCH(QString, mentions);
        OldFiles old;
        if (damage == QLatin1String("duplicate right")) {
            old.rights.insert(3, {3, 5});
        } else if (damage == QLatin1String("blank user id")) {
            old.users[2].id = QVariant();
        } else if (damage == QLatin1String("letters in right")) {
            old.rights[1].access = QByteArray("7x");
        }
        old.write();
        old.setHeaderFlags({1, 0, 0x5A, 1});
        const QString file = damage.section(QLatin1Char(' '), 1);
        if (damage.startsWith(QLatin1String("remove ")))
            QVERIFY(QFile::remove(old.path(file)));
        if (damage.startsWith(QLatin1String("cut "))) {
            QFile cut(old.path(file));
            QVERIFY(cut.resize(cut.size() - 20));
        }
        if (damage.startsWith(QLatin1String("text "))) {
            QFile text(old.path(file));
            QVERIFY(text.open(QIODevice::WriteOnly | QIODevice::Truncate));
            text.write(
                QByteArray("Minutes of the committee meeting, first of March.\n").repeated(3));
        }
        const QList<int> flagsBefore = old.headerFlags();

        // One database for every row: each row compares it before and after.
        const QString alias = sharedDb().alias();
        const QStringList before = everyImportTarget(alias);
        const Outcome outcome = runImport(old.dir(), alias, true);
        QVERIFY2(outcome.failure.startsWith(failure), qPrintable(outcome.failure));
        QVERIFY2(outcome.failure.contains(mentions), qPrintable(outcome.failure));
        QCOMPARE(everyImportTarget(alias), before);
        QCOMPARE(old.headerFlags(), flagsBefore);
        // Nothing is left half done, not even a used-up id: a sound import numbers on from the
        // rows that were there before.
        OldFiles sound;
        const Outcome next = runImport(sound.dir(), alias, false);
        QCOMPARE(next.failure, QString());
        const int nextAccessId = int(before.filter(QStringLiteral("ACCESS.DB: ")).size()) + 1;
        QCOMPARE(next.lines.value(1),
                 QStringLiteral("Edit Orders mapped from 5 to %1").arg(nextAccessId));
    }

    void cancelStopsAfterTheRowAndImportsNothing_data()
    {
        QTest::addColumn<int>("stopAt");
        QTest::addColumn<int>("lines");
        QTest::newRow("opening the tables") << 2 << 0;
        QTest::newRow("first constant") << 5 << 2;
        QTest::newRow("second user") << 9 << 8;
        QTest::newRow("system row") << 19 << 17;
    }

    void cancelStopsAfterTheRowAndImportsNothing()
    {
        QFETCH(int, stopAt);
        QFETCH(int, lines);
        OldFiles old;
        old.setHeaderFlags({1, 1, 0, 1});
        const QString alias = sharedDb().alias();
        const QStringList before = everyImportTarget(alias);
        const Outcome outcome = runImport(old.dir(), alias, true, stopAt);
        QCOMPARE(outcome.failure, QString());
        QCOMPARE(outcome.result, oldimport::Result::Cancelled);
        QCOMPARE(outcome.lines.size(), lines);
        QCOMPARE(everyImportTarget(alias), before);
        QCOMPARE(old.headerFlags(), QList<int>({1, 1, 0, 1}));
    }

    void decodeOldText_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("blank") << QByteArray() << QString();
        QTest::newRow("padding dropped") << oldfixture::encode(QStringLiteral("Edit")) + "   "
                                         << "Edit";
        QTest::newRow("ends in control bytes")
            << oldfixture::encode(QStringLiteral("cats")) << "cats";
        QTest::newRow("Windows-1252 letters")
            << oldfixture::encode(QStringLiteral("é ü € Š ™")) << "é ü € Š ™";
        QTest::newRow("euro inside and at the end")
            << oldfixture::encode(QStringLiteral("1€ 2€")) << "1€ 2€";
        QTest::newRow("79 characters at most")
            << oldfixture::encode(QString(100, QLatin1Char('x'))) << QString(79, QLatin1Char('x'));
        QTest::newRow("stored blank inside stands for a back quote")
            << QByteArray("\x1f \x1f") << "a`a";
    }

    void decodeOldText()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, text);
        QCOMPARE(DecodeOldText(field), text);
    }

    void productionIndexFlagRefusesWhatItCannotWrite_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("shorter than a header") << QByteArray("short");
    }

    void productionIndexFlagRefusesWhatItCannotWrite()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("X.DBF"));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QVERIFY_THROWS_EXCEPTION(dbe::Error, SetProductionIndexFlag(path, 1));
        // Never creates or lengthens a file.
        QCOMPARE(QFileInfo(path).size(), content.size());
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("system");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("sound files") << "" << false << 0;
        QTest::newRow("sound files with system information") << "" << true << 0;
        QTest::newRow("two identical rights") << "duplicate right" << true << 1;
        QTest::newRow("no such alias") << "alias" << false << 1;
        // Opened as a file, a pipe would hold the import up for ever, deaf to interrupts.
        QTest::newRow("a pipe in the rights file's place") << "fifo" << false << 1;
    }

    void commandLine()
    {
        QFETCH(QString, damage);
        QFETCH(bool, system);
        QFETCH(int, exitCode);
        OldFiles old;
        if (damage == QLatin1String("duplicate right")) {
            old.rights.append({3, 5});
            old.write();
        }
        old.setHeaderFlags({1, 0, 1, 0x5A});
        const QString rights = old.path(QStringLiteral("WOBSEC3.DBF"));
        if (damage == QLatin1String("fifo"))
            QVERIFY(QFile::remove(rights) &&
                    ::mkfifo(QFile::encodeName(rights).constData(), 0600) == 0);
        const QList<int> flagsBefore = old.headerFlags();
        // A refused import only compares the database before and after: the shared one will do.
        std::unique_ptr<importfixture::TargetDb> own;
        if (exitCode == 0) {
            own = std::make_unique<importfixture::TargetDb>(QStringLiteral("CLIIMPORT"),
                                                            QStringLiteral("Cli5"));
            own->setSettings(true, false, QStringLiteral("Current"), QStringLiteral("Dept"));
        }
        importfixture::TargetDb &db = own ? *own : sharedDb();
        dbe::Session::instance().saveConfig();
        const QStringList before = everyImportTarget(db.alias());

        QStringList arguments{QStringLiteral("import"),
                              QStringLiteral("--alias"),
                              damage == QLatin1String("alias") ? QStringLiteral("NOSUCH")
                                                               : db.alias(),
                              QStringLiteral("--dir"),
                              old.dir(),
                              QStringLiteral("--password"),
                              db.password()};
        if (system)
            arguments << QStringLiteral("--system");
        QProcess vesksec;
        vesksec.start(QStringLiteral(VESK_VESKSEC), arguments);
        QVERIFY(vesksec.waitForFinished(30000));
        const QString output = QString::fromUtf8(vesksec.readAllStandardOutput());
        const QString errors = QString::fromUtf8(vesksec.readAllStandardError());
        QCOMPARE(vesksec.exitCode(), exitCode);
        if (exitCode != 0) {
            QVERIFY2(errors.startsWith(QStringLiteral("vesksec: ")), qPrintable(errors));
            QCOMPARE(everyImportTarget(db.alias()), before);
            QCOMPARE(old.headerFlags(), flagsBefore);
            if (damage == QLatin1String("fifo"))
                QVERIFY2(errors.contains(rights + QStringLiteral(": it is a pipe (FIFO), not a "
                                                                 "regular file")),
                         qPrintable(errors));
            if (damage == QLatin1String("duplicate right"))
                QVERIFY2(errors.contains(QStringLiteral("Key violation.")) &&
                             errors.contains(QStringLiteral("Nothing was imported.")),
                         qPrintable(errors));
            return;
        }
        QCOMPARE(output.split(QLatin1Char('\n')),
                 OldFiles::expectedLines(system)
                     << QStringLiteral("Conversion was Successful!") << QString());
        QCOMPARE(rowsOf(db.alias(), QStringLiteral("USERACC.DB"),
                        {QStringLiteral("User_ID"), QStringLiteral("Access_ID"),
                         QStringLiteral("Type")}),
                 OldFiles::expectedRights());
        QCOMPARE(programRows(db.alias()),
                 QStringList{system ? QStringLiteral("Old Security ™|True|Dept|True")
                                    : QStringLiteral("Current|True|Dept|False")});
    }
};

QTEST_GUILESS_MAIN(OldImportTest)
#include "tst_oldimport.moc"
