// The engine's configuration file: what the administrator wrote survives every save, names
// that would break the file are refused, programs saving at once lose nothing, and a file of
// many aliases saves in linear time. The test starts copies of itself as the other programs
// ("--child ...").

#include "dbe/aliasconfig.h"
#include "dbe/aliasconfigtext.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>
#include <vector>

using dbe::AliasConfig;
using dbe::AliasConfigText;
using dbe::Error;
using dbe::Session;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

dbe::AliasInfo standardAlias(const QString &name, const QString &path)
{
    dbe::AliasInfo alias;
    alias.name = name;
    alias.path = path;
    alias.persistent = true;
    return alias;
}

// The other program: reads the configuration, waits for the parent's signal (a file appearing),
// then adds its alias and saves, as `vesksec create` does.
int registerAlias(const QStringList &args)
{
    const QString goFile = args.value(0);
    const QString name = args.value(1);
    Session &session = Session::instance(); // reads the file now, long before saving
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(goFile)) {
        if (waited.elapsed() > 20000)
            return 3;
        QThread::usleep(200);
    }
    try {
        session.addStandardAlias(name, QStringLiteral("/srv/vesk/") + name);
        session.saveConfig();
    } catch (const Error &e) {
        qWarning("%s", qPrintable(e.text()));
        return 2;
    }
    return 0;
}

const QByteArray AdministratorsFile = "; Aliases of the accounts department\n"
                                      "[PROD]\n"
                                      "TYPE=STANDARD\n"
                                      "; moved to the new server in March\n"
                                      "PATH=/srv/prod\n"
                                      "DEFAULT DRIVER=PARADOX\n"
                                      "OWNER=accounts\n"
                                      "\n"
                                      "[TEST]\r\n"
                                      "type = STANDARD\r\n"
                                      "path = /srv/test\r\n"
                                      "BUSY TIMEOUT=250\r\n";

} // namespace

class AliasConfigTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }

    void init()
    {
        QFile::remove(Session::instance().configFile());
        Session::instance().reloadConfig();
    }

    void readsWhatTheAdministratorWrote()
    {
        const QList<dbe::AliasInfo> aliases = AliasConfigText::parse(AdministratorsFile).aliases();
        QCOMPARE(aliases.size(), 2);
        QCOMPARE(aliases[0].name, QStringLiteral("PROD"));
        QCOMPARE(aliases[0].path, QStringLiteral("/srv/prod"));
        QCOMPARE(aliases[0].busyTimeoutMs, -1);
        QCOMPARE(aliases[1].name, QStringLiteral("TEST"));
        QCOMPARE(aliases[1].path, QStringLiteral("/srv/test"));
        QCOMPARE(aliases[1].driver, QStringLiteral("STANDARD"));
        QCOMPARE(aliases[1].busyTimeoutMs, 250);

        // A header that is no alias name stays in the file but names no alias; of two sections
        // of one name the later counts.
        const QByteArray odd = "[]\nPATH=/a\n[x=y]\nPATH=/b\n[Twice]\nPATH=/c\n[TWICE]\nPATH=/d\n"
                               "BUSY TIMEOUT=soon\n";
        const QList<dbe::AliasInfo> read = AliasConfigText::parse(odd).aliases();
        QCOMPARE(read.size(), 1);
        QCOMPARE(read[0].path, QStringLiteral("/d"));
        QCOMPARE(read[0].busyTimeoutMs, -1);
        QCOMPARE(AliasConfigText::parse(odd).toBytes(), odd);
    }

    // Saving changes the lines of the alias it concerns and nothing else.
    void editsOnlyTheLinesOfItsAlias_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("add") << "add NEW"
                             << AdministratorsFile + "\n[NEW]\nTYPE=STANDARD\n"
                                                     "PATH=/srv/new\n"
                                                     "DEFAULT DRIVER=PARADOX\n";
        QTest::newRow("add one that is there for the same place")
            << "add prod" << AdministratorsFile;
        QTest::newRow("remove") << "remove prod"
                                << QByteArray("; Aliases of the accounts department\n"
                                              "[TEST]\r\n"
                                              "type = STANDARD\r\n"
                                              "path = /srv/test\r\n"
                                              "BUSY TIMEOUT=250\r\n");
        QTest::newRow("remove one that is not there") << "remove GONE" << AdministratorsFile;
    }
    void editsOnlyTheLinesOfItsAlias()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, expected);
        const QString path = Session::instance().configFile();
        writeFile(path, AdministratorsFile);
        const QString name = operation.section(u' ', 1);
        if (operation.startsWith(QLatin1String("add"))) {
            const QString dir = name == QLatin1String("prod") ? QStringLiteral("/srv/prod/")
                                                              : QStringLiteral("/srv/new");
            AliasConfig::add(path, {standardAlias(name, dir)});
        } else {
            AliasConfig::remove(path, name);
        }
        QCOMPARE(readFile(path), expected);
    }

    // A name becomes a section header: anything that could end the header early, or that would
    // not read back the same, is refused before the file is touched.
    void refusesNamesTheFileCannotHold_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("line break rewriting another alias") << "new\n[PROD]"
                                                            << "/x" << false;
        QTest::newRow("carriage return") << "new\rPATH=/x"
                                         << "/x" << false;
        QTest::newRow("unicode line separator") << QStringLiteral("a\u2028b") << "/x" << false;
        QTest::newRow("opening bracket") << "[PROD"
                                         << "/x" << false;
        QTest::newRow("closing bracket") << "PROD]"
                                         << "/x" << false;
        QTest::newRow("equals sign") << "PATH=/etc"
                                     << "/x" << false;
        QTest::newRow("tab") << "a\tb"
                             << "/x" << false;
        QTest::newRow("nul") << QString(QChar(0)) + QStringLiteral("a") << "/x" << false;
        QTest::newRow("leading blank") << " PROD"
                                       << "/x" << false;
        QTest::newRow("trailing blank") << "PROD "
                                        << "/x" << false;
        QTest::newRow("empty") << ""
                               << "/x" << false;
        QTest::newRow("path with a line break") << "GOOD"
                                                << "/x\n[PROD]" << false;
        QTest::newRow("path ending in a blank") << "GOOD"
                                                << "/x " << false;
        QTest::newRow("blank inside") << "PROD 2"
                                      << "/x" << true;
        QTest::newRow("comment characters") << ";#x"
                                            << "/x" << true;
        QTest::newRow("non-ASCII") << QStringLiteral("Büro Zürich") << "/srv/büro" << true;
    }
    void refusesNamesTheFileCannotHold()
    {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(bool, accepted);
        const QString config = Session::instance().configFile();
        writeFile(config, AdministratorsFile);
        Session &session = Session::instance();
        session.reloadConfig();
        try {
            session.addStandardAlias(name, path);
            session.saveConfig();
            QVERIFY2(accepted, "an alias the file cannot hold was saved");
        } catch (const Error &e) {
            QVERIFY2(!accepted, qPrintable(e.text()));
            QCOMPARE(e.code(), Error::InvalidName);
            QCOMPARE(readFile(config), AdministratorsFile);
            // The file is not the only way in: the writer refuses as well.
            QVERIFY_THROWS_EXCEPTION(Error, AliasConfig::add(config, {standardAlias(name, path)}));
            QCOMPARE(readFile(config), AdministratorsFile);
            return;
        }
        session.reloadConfig();
        QCOMPARE(session.alias(name).path, path);
        QCOMPARE(session.alias(QStringLiteral("PROD")).path, QStringLiteral("/srv/prod"));
        QCOMPARE(session.aliasNames().size(), 3);
    }

    void savesAliasesOtherProgramsSavedMeanwhile()
    {
        Session &session = Session::instance();
        const QString config = session.configFile();
        session.addStandardAlias(QStringLiteral("MINE"), QStringLiteral("/srv/mine"));
        writeFile(config, AdministratorsFile); // another program saved after this one read
        session.saveConfig();
        QCOMPARE(session.aliasNames(), (QStringList{"MINE", "PROD", "TEST"}));
        QVERIFY(readFile(config).startsWith(AdministratorsFile));

        // The same name saved meanwhile for another place is not overwritten.
        session.addStandardAlias(QStringLiteral("THEIRS"), QStringLiteral("/srv/mine-too"));
        QByteArray theirs = readFile(config) + "[Theirs]\nPATH=/srv/theirs\n";
        writeFile(config, theirs);
        try {
            session.saveConfig();
            QFAIL("an alias another program saved was overwritten");
        } catch (const Error &e) {
            QCOMPARE(e.code(), Error::DuplicateAlias);
        }
        QCOMPARE(readFile(config), theirs);
    }

    void deletingAnUnsavedAliasLeavesTheFileAlone()
    {
        Session &session = Session::instance();
        writeFile(session.configFile(), AdministratorsFile);
        session.reloadConfig();
        session.addStandardAlias(QStringLiteral("DRAFT"), QStringLiteral("/srv/draft"));
        session.deleteAlias(QStringLiteral("DRAFT"));
        session.saveConfig();
        QCOMPARE(readFile(session.configFile()), AdministratorsFile);
        session.deleteAlias(QStringLiteral("test"));
        QCOMPARE(session.aliasNames(), QStringList{"PROD"});
        QVERIFY(!readFile(session.configFile()).contains("[TEST]"));
    }

    // Twenty programs that read the file at start and save a new alias at the same moment.
    void concurrentSavesLoseNothing()
    {
        const QString config = Session::instance().configFile();
        writeFile(config, AdministratorsFile);
        QTemporaryDir signals_;
        const QString goFile = signals_.filePath(QStringLiteral("go"));
        std::vector<std::unique_ptr<QProcess>> children;
        for (int i = 0; i < 20; ++i) {
            auto child = std::make_unique<QProcess>();
            child->setProcessChannelMode(QProcess::ForwardedChannels);
            child->start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--child"), goFile, QStringLiteral("PARALLEL%1").arg(i)});
            QVERIFY(child->waitForStarted(10000));
            children.push_back(std::move(child));
        }
        QThread::msleep(300); // every child has read the file by now
        writeFile(goFile, "go");
        for (auto &child : children) {
            QVERIFY(child->waitForFinished(30000));
            QCOMPARE(child->exitCode(), 0);
        }
        const QList<dbe::AliasInfo> saved = AliasConfig::read(config);
        QStringList names;
        for (const dbe::AliasInfo &alias : saved)
            names.append(alias.name);
        QCOMPARE(names.size(), 22);
        for (int i = 0; i < 20; ++i)
            QVERIFY2(names.contains(QStringLiteral("PARALLEL%1").arg(i)),
                     qPrintable(names.join(',')));
        QVERIFY(readFile(config).startsWith(AdministratorsFile));
        // No temporary file is left behind: the file and its lock.
        QCOMPARE(QDir(QFileInfo(config).path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void savesTwoHundredThousandAliasesInLinearTime()
    {
        constexpr int Many = 200000;
        QByteArray text;
        text.reserve(Many * 64);
        for (int i = 0; i < Many; ++i)
            text += "[A" + QByteArray::number(i) + "]\nTYPE=STANDARD\nPATH=/srv/a" +
                    QByteArray::number(i) + "\nDEFAULT DRIVER=PARADOX\n\n";
        Session &session = Session::instance();
        writeFile(session.configFile(), text);
        QElapsedTimer timer;
        timer.start();
        session.reloadConfig();
        session.addStandardAlias(QStringLiteral("ONE MORE"), QStringLiteral("/srv/more"));
        session.saveConfig();
        session.deleteAlias(QStringLiteral("A100000"));
        const qint64 elapsed = timer.elapsed();
        // Linear work is a second or two even in a sanitizer build; a quadratic save never ends.
        QVERIFY2(elapsed < 30000, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
        const QList<dbe::AliasInfo> saved = AliasConfig::read(session.configFile());
        QCOMPARE(saved.size(), Many);
        QCOMPARE(saved.last().name, QStringLiteral("ONE MORE"));
        QCOMPARE(saved[Many / 2].name, QStringLiteral("A100001"));
        QCOMPARE(session.aliasNames().size(), Many);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && args.at(1) == QLatin1String("--child"))
        return registerAlias(args.mid(2));
    testsupport::isolateEngineConfig();
    AliasConfigTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_aliasconfig.moc"
