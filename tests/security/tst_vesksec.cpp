// The vesksec tool as administrators and scripts run it: it never empties an existing security
// database unasked, refuses names and passwords it could not keep apart, asks for the master
// password without echo, and loses no alias when many run at once.

#include "dbe/aliasconfig.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/audittrail.h"
#include "tests/support/teststorage.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

const QString Vesksec = QStringLiteral(VESKSEC_PATH);

struct Run {
    int exitCode = -1;
    QString output; // standard output and error
};

QProcessEnvironment environmentWithoutPassword()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VESK_MASTER_PASSWORD"));
    return environment;
}

Run vesksec(const QStringList &args, const QByteArray &input = {})
{
    QProcess tool;
    tool.setProcessEnvironment(environmentWithoutPassword());
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(Vesksec, args);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(60000))
        tool.kill();
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAll())};
}

// Through the shell, which can hand over bytes that are no text: `script` sees the tool as $1,
// the directory as $2 and the alias as $3.
Run vesksecFromShell(const QString &script, const QString &dir, const QString &alias)
{
    QProcess shell;
    shell.setProcessEnvironment(environmentWithoutPassword());
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), script, QStringLiteral("sh"), Vesksec, dir, alias});
    shell.closeWriteChannel();
    if (!shell.waitForFinished(60000))
        shell.kill();
    return {shell.exitCode(), QString::fromUtf8(shell.readAll())};
}

QString describe(const Run &run)
{
    return QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.output);
}

int userCount(const QString &alias, const QString &password)
{
    dbe::Session &session = dbe::Session::instance();
    session.reloadConfig();
    session.removeAllPasswords();
    session.addPassword(password);
    dbe::Table users;
    users.setDatabaseName(alias);
    users.setTableName(QStringLiteral("Users"));
    users.open();
    const int count = users.recordCount();
    users.close();
    session.closeDatabases();
    return count;
}

QStringList tableFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.DB"), QStringLiteral("*.db")}, QDir::Files);
}

// A terminal for the tool's standard input: the test types on the master side and reads there
// what the terminal echoes.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slaveName = QByteArray(::ptsname(m_master));
        m_slave = ::open(m_slaveName.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal()
    {
        ::close(m_slave);
        ::close(m_master);
    }
    bool isOpen() const { return m_master >= 0 && m_slave >= 0; }
    int slave() const { return m_slave; }
    bool type(const QByteArray &text) const
    {
        return ::write(m_master, text.constData(), size_t(text.size())) == text.size();
    }
    // Everything the terminal has shown so far.
    QByteArray shown()
    {
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(m_master, buffer, sizeof buffer)) > 0)
            m_shown.append(buffer, got);
        return m_shown;
    }
    bool echoing() const
    {
        termios settings;
        return ::tcgetattr(m_slave, &settings) == 0 && (settings.c_lflag & ECHO);
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_slaveName;
    QByteArray m_shown;
};

bool waitForText(QProcess &process, QByteArray &seen, const QByteArray &text)
{
    QElapsedTimer timer;
    timer.start();
    while (!seen.contains(text) && timer.elapsed() < 20000) {
        process.waitForReadyRead(100);
        seen += process.readAllStandardError();
        if (process.state() == QProcess::NotRunning)
            break;
    }
    return seen.contains(text);
}

} // namespace

class VesksecTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_demo; // a demo database made once, copied where a row needs one

private Q_SLOTS:
    void initTestCase()
    {
        testsupport::isolateEngineConfig();
        const Run demo = vesksec({QStringLiteral("demo"), QStringLiteral("--dir"), m_demo.path(),
                                  QStringLiteral("--alias"), QStringLiteral("CliDemoTemplate"),
                                  QStringLiteral("--password"), QStringLiteral("Old1")});
        QVERIFY2(demo.exitCode == 0, qPrintable(describe(demo)));
    }

    void cleanup()
    {
        dbe::Session &session = dbe::Session::instance();
        session.reloadConfig();
        for (const QString &alias : session.aliasNames())
            session.deleteAlias(alias);
    }

    void neverEmptiesAnExistingDatabaseUnasked_data()
    {
        QTest::addColumn<QString>("existing"); // "demo", or the one file that is there
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<bool>("created");
        QTest::newRow("create over a demo") << "demo" << QStringList{"create"} << false;
        QTest::newRow("demo over a demo") << "demo" << QStringList{"demo"} << false;
        QTest::newRow("create with another password over a demo")
            << "demo" << QStringList{"create", "--password", "Other2"} << false;
        QTest::newRow("only the users table is left")
            << "USERS.DB" << QStringList{"create"} << false;
        QTest::newRow("a lower-case program.db") << "program.db" << QStringList{"create"} << false;
        QTest::newRow("create --replace with another password")
            << "demo" << QStringList{"create", "--replace", "--password", "Other2"} << true;
        QTest::newRow("an empty directory") << "" << QStringList{"create"} << true;
    }
    void neverEmptiesAnExistingDatabaseUnasked()
    {
        QFETCH(QString, existing);
        QFETCH(QStringList, command);
        QFETCH(bool, created);
        QTemporaryDir dir;
        const QString alias = QStringLiteral("CliOld");
        if (existing == QLatin1String("demo")) {
            for (const QString &file : tableFiles(m_demo.path()))
                QVERIFY(QFile::copy(QDir(m_demo.path()).filePath(file),
                                    QDir(dir.path()).filePath(file)));
            dbe::Session::instance().addStandardAlias(alias, dir.path());
            dbe::Session::instance().saveConfig();
        } else if (!existing.isEmpty()) {
            QFile file(QDir(dir.path()).filePath(existing));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write("not ours to empty") > 0);
        }
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        QByteArray usersBefore;
        if (!existing.isEmpty()) {
            QFile users(QDir(dir.path())
                            .filePath(existing == QLatin1String("demo") ? QStringLiteral("USERS.DB")
                                                                        : existing));
            QVERIFY(users.open(QIODevice::ReadOnly));
            usersBefore = users.readAll();
        }

        QStringList args = command;
        args << QStringLiteral("--dir") << dir.path() << QStringLiteral("--alias") << alias;
        if (!command.contains(QStringLiteral("--password")))
            args << QStringLiteral("--password") << QStringLiteral("Old1");
        const Run run = vesksec(args);
        if (!created) {
            QVERIFY2(run.exitCode == 1, qPrintable(describe(run)));
            QVERIFY2(run.output.contains(QStringLiteral("security tables exist in")) &&
                         run.output.contains(QStringLiteral("--replace")),
                     qPrintable(run.output));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
            QFile users(QDir(dir.path())
                            .filePath(existing == QLatin1String("demo") ? QStringLiteral("USERS.DB")
                                                                        : existing));
            QVERIFY(users.open(QIODevice::ReadOnly));
            QCOMPARE(users.readAll(), usersBefore);
            if (existing == QLatin1String("demo"))
                QCOMPARE(userCount(alias, QStringLiteral("Old1")), 5);
            return;
        }
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(tableFiles(dir.path()).size(), 7);
        const QString password = command.contains(QStringLiteral("Other2"))
                                     ? QStringLiteral("Other2")
                                     : QStringLiteral("Old1");
        QCOMPARE(userCount(alias, password), 0);
        if (password != QStringLiteral("Old1"))
            QVERIFY_THROWS_EXCEPTION(dbe::Error, userCount(alias, QStringLiteral("Old1")));
    }

    // The administration commands, each run on a fresh copy of the demo database: the exit
    // status, and what `rights` says the user holds afterwards ("-": there is no such user).
    void administersThroughTheRules_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("rights");

        const QString viewOrders = R"({"id":1,"name":"View Orders","direct":true,"groups":[]})";
        const QString printReports = R"({"id":6,"name":"Print Reports","direct":true,"groups":[]})";
        const QString auditor = "[" + viewOrders + "," + printReports + "]";
        const auto clerks = [](int id, const char *name) {
            return QStringLiteral(
                       R"({"id":%1,"name":"%2","direct":false,"groups":["Order Clerks"]})")
                .arg(id)
                .arg(QLatin1String(name));
        };
        const auto row = [](const char *name, const QStringList &command, int status,
                            const QString &user, const QString &rights,
                            const QByteArray &input = {}) {
            QTest::newRow(name) << command << input << status << user << rights;
        };
        row("grant a constant by id", {"grant", "--user", "auditor", "--constant", "5"}, 0,
            "auditor",
            "[" + viewOrders + R"(,{"id":5,"name":"Edit Customers","direct":true,"groups":[]},)" +
                printReports + "]");
        row("grant again, other letter case",
            {"grant", "--user", "AUDITOR", "--constant", "view orders"}, 0, "auditor", auditor);
        row("revoke a constant", {"revoke", "--user", "auditor", "--constant", "Print Reports"}, 0,
            "auditor", "[" + viewOrders + "]");
        row("revoke a group he lacks", {"revoke", "--user", "auditor", "--group", "Managers"}, 1,
            "auditor", auditor);
        row("grant a group", {"grant", "--user", "auditor", "--group", "Order Clerks"}, 0,
            "auditor",
            R"([{"id":1,"name":"View Orders","direct":true,"groups":["Order Clerks"]},)" +
                clerks(2, "Edit Orders") + "," + clerks(4, "View Customers") + "," + printReports +
                "]");
        row("a constant to a group",
            {"grant", "--group", "Order Clerks", "--constant", "Print Reports"}, 0, "clerk",
            "[" + clerks(1, "View Orders") + "," + clerks(2, "Edit Orders") + "," +
                clerks(4, "View Customers") + "," + clerks(6, "Print Reports") + "]");
        row("a constant from a group", {"revoke", "--group", "Order Clerks", "--constant", "2"}, 0,
            "clerk", "[" + clerks(1, "View Orders") + "," + clerks(4, "View Customers") + "]");
        row("delete a constant", {"constant", "delete", "View Orders"}, 0, "auditor",
            "[" + printReports + "]");
        row("delete a group", {"group", "delete", "order clerks"}, 0, "clerk", "[]");
        row("add a user", {"user", "add", "nova", "--admin", "--new-password-stdin"}, 0, "nova",
            "[]", "Nova1\n");
        row("the supervisor's name", {"user", "add", "Supervisor", "--new-password-stdin"}, 1,
            "Supervisor", "-", "Nova1\n");
        row("a user's name twice", {"user", "add", "CLERK", "--new-password-stdin"}, 1, "clerk",
            "[" + clerks(1, "View Orders") + "," + clerks(2, "Edit Orders") + "," +
                clerks(4, "View Customers") + "]",
            "Nova1\n");
        row("a password longer than the field",
            {"user", "passwd", "auditor", "--new-password-stdin"}, 1, "auditor", auditor,
            "thirteen-char\n");
        row("delete a user", {"user", "delete", "auditor"}, 0, "auditor", "-");
        row("disable a user", {"user", "set", "auditor", "--disable", "--def1", "Audit"}, 0,
            "auditor", auditor);
        row("a constant's name twice", {"constant", "add", "VIEW ORDERS"}, 1, "auditor", auditor);
        row("a constant's id twice", {"constant", "add", "Extra", "--id", "6"}, 1, "auditor",
            auditor);
        row("a group's name twice", {"group", "add", "managers"}, 1, "auditor", auditor);
        row("an unknown user", {"grant", "--user", "nobody", "--constant", "1"}, 1, "auditor",
            auditor);
        row("constant and group at once",
            {"grant", "--user", "auditor", "--constant", "1", "--group", "Managers"}, 2, "auditor",
            auditor);
        row("set without a change", {"user", "set", "auditor"}, 2, "auditor", auditor);
        row("enable and disable", {"user", "set", "auditor", "--enable", "--disable"}, 2, "auditor",
            auditor);
        row("an unknown verb", {"user", "rename", "auditor"}, 2, "auditor", auditor);
        row("an unknown option", {"constant", "list", "--colour"}, 2, "auditor", auditor);
    }
    void administersThroughTheRules()
    {
        QFETCH(QStringList, command);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, user);
        QFETCH(QString, rights);
        QTemporaryDir dir;
        for (const QString &file : tableFiles(m_demo.path()))
            QVERIFY(
                QFile::copy(QDir(m_demo.path()).filePath(file), QDir(dir.path()).filePath(file)));
        dbe::Session::instance().addStandardAlias(QStringLiteral("CliAdmin"), dir.path());
        dbe::Session::instance().saveConfig();
        const QStringList database = {"--alias", "CliAdmin", "--password", "Old1"};

        const qsizetype audited = security::AuditTrail::entries(QStringLiteral("CliAdmin")).size();
        const Run run = vesksec(command + database, input);
        QVERIFY2(run.exitCode == status, qPrintable(describe(run)));
        // A change names the command as typed as the one acting.
        const auto trail = security::AuditTrail::entries(QStringLiteral("CliAdmin"));
        if (trail.size() > audited) {
            const QStringList typed = command.mid(0, command.value(1).startsWith('-') ? 1 : 2);
            QCOMPARE(trail.last().actor, QStringLiteral("vesksec ") + typed.join(' '));
        }
        const Run held = vesksec(QStringList{"rights", "--user", user, "--json"} + database);
        if (rights == QLatin1String("-")) {
            QVERIFY2(held.exitCode == 1, qPrintable(describe(held)));
        } else {
            QVERIFY2(held.exitCode == 0, qPrintable(describe(held)));
            QCOMPARE(held.output.trimmed(), rights);
        }
        if (QTest::currentDataTag() == QLatin1String("add a user")) {
            QVERIFY(vesksec(QStringList{"user", "list", "--json"} + database)
                        .output.contains(
                            R"({"id":6,"name":"nova","enabled":true,"admin":true,"def1":"",)"
                            R"("def2":"","last_access":null,"access_count":null})"));
        }
    }

    // The alias is registered once the tables exist; not even root can make a file here.
    void failedCreationRegistersNoAlias()
    {
        const Run run = vesksec(
            {"create", "--dir", "/proc/self/fdinfo", "--alias", "Unwritable", "--password", "Pw1"});
        QVERIFY2(run.exitCode == 1 && run.output.contains(QStringLiteral("DBE Error")),
                 qPrintable(describe(run)));
        dbe::Session::instance().reloadConfig();
        QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("Unwritable")));
    }

    void refusesAliasNamesTheConfigurationCannotHold_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a line break rewriting another alias") << "new\n[PROD]"
                                                              << "line break";
        QTest::newRow("a bracket") << "PROD]"
                                   << "'[' or ']'";
        QTest::newRow("an equals sign") << "PATH=/etc"
                                        << "'='";
        QTest::newRow("a leading blank") << " PROD"
                                         << "begin or end with a blank";
    }
    void refusesAliasNamesTheConfigurationCannotHold()
    {
        QFETCH(QString, alias);
        QFETCH(QString, reason);
        QTemporaryDir prod;
        QTemporaryDir dir;
        dbe::Session &session = dbe::Session::instance();
        session.addStandardAlias(QStringLiteral("PROD"), prod.path());
        session.saveConfig();
        QFile config(session.configFile());
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QByteArray before = config.readAll();
        config.close();

        for (const char *command : {"create", "generate"}) {
            QStringList args{QString::fromLatin1(command), QStringLiteral("--alias"), alias,
                             QStringLiteral("--password"), QStringLiteral("Pw1")};
            args << (qstrcmp(command, "create") == 0 ? QStringLiteral("--dir")
                                                     : QStringLiteral("--cpp"))
                 << dir.filePath(QStringLiteral("out"));
            const Run run = vesksec(args);
            QVERIFY2(run.exitCode == 1, qPrintable(describe(run)));
            QVERIFY2(run.output.contains(QStringLiteral("Invalid alias name")) &&
                         run.output.contains(reason),
                     qPrintable(run.output));
        }
        QVERIFY(config.open(QIODevice::ReadOnly));
        QCOMPARE(config.readAll(), before);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // Bytes that are no UTF-8 all became U+FFFD, so different passwords gave the same key.
    void refusesPasswordsThatAreNoText_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("refused");
        const QString bytes = QStringLiteral("\"$(printf '\\377\\376\\200\\001')\"");
        QTest::newRow("--password PW")
            << QStringLiteral("exec \"$1\" create --dir \"$2\" --alias \"$3\" --password %1")
                   .arg(bytes)
            << true;
        QTest::newRow("--password=PW")
            << QStringLiteral("exec \"$1\" create --dir \"$2\" --alias \"$3\" --password=%1")
                   .arg(bytes)
            << true;
        QTest::newRow("environment")
            << QStringLiteral(
                   "VESK_MASTER_PASSWORD=%1 exec \"$1\" create --dir \"$2\" --alias \"$3\"")
                   .arg(bytes)
            << true;
        QTest::newRow("standard input")
            << QStringLiteral("printf '\\201\\202\\203\\001\\n' | exec \"$1\" create --dir \"$2\" "
                              "--alias \"$3\" --password-stdin")
            << true;
        QTest::newRow("overlong encoding")
            << QStringLiteral("exec \"$1\" create --dir \"$2\" --alias \"$3\" --password "
                              "\"$(printf 'a\\300\\200')\"")
            << true;
        QTest::newRow("encoded surrogate")
            << QStringLiteral("exec \"$1\" create --dir \"$2\" --alias \"$3\" --password "
                              "\"$(printf '\\355\\240\\200')\"")
            << true;
        QTest::newRow("a directory name that is no text")
            << QStringLiteral("exec \"$1\" create --dir \"$2/$(printf '\\377')\" --alias \"$3\" "
                              "--password Pw1")
            << true;
        QTest::newRow("UTF-8 text")
            << QStringLiteral("exec \"$1\" create --dir \"$2\" --alias \"$3\" --password "
                              "\"$(printf 'p\\303\\244ss')\"")
            << false;
    }
    void refusesPasswordsThatAreNoText()
    {
        QFETCH(QString, script);
        QFETCH(bool, refused);
        QTemporaryDir dir;
        const Run run = vesksecFromShell(script, dir.path(), QStringLiteral("Bytes"));
        dbe::Session::instance().reloadConfig();
        if (!refused) {
            QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
            QCOMPARE(userCount(QStringLiteral("Bytes"), QStringLiteral("päss")), 0);
            return;
        }
        QVERIFY2(run.exitCode == 1, qPrintable(describe(run)));
        QVERIFY2(run.output.contains(QStringLiteral("not valid UTF-8")), qPrintable(run.output));
        QVERIFY(QDir(dir.path()).isEmpty());
        QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("Bytes")));
    }

    void asksForThePasswordWithoutEcho_data()
    {
        QTest::addColumn<QByteArray>("retyped");
        QTest::addColumn<bool>("interrupted");
        QTest::newRow("typed twice") << QByteArray("Typed9\n") << false;
        QTest::newRow("retyped differently") << QByteArray("Typo9\n") << false;
        QTest::newRow("broken off with Ctrl+C") << QByteArray() << true;
    }
    void asksForThePasswordWithoutEcho()
    {
        QFETCH(QByteArray, retyped);
        QFETCH(bool, interrupted);
        PseudoTerminal terminal;
        QVERIFY(terminal.isOpen());
        QTemporaryDir dir;
        QProcess tool;
        tool.setProcessEnvironment(environmentWithoutPassword());
        const int slave = terminal.slave();
        tool.setChildProcessModifier([slave] { ::dup2(slave, STDIN_FILENO); });
        tool.start(Vesksec, {QStringLiteral("create"), QStringLiteral("--dir"), dir.path(),
                             QStringLiteral("--alias"), QStringLiteral("Typed")});
        QByteArray prompts;
        QVERIFY2(waitForText(tool, prompts, "Master password: "), prompts.constData());
        QVERIFY(!terminal.echoing());
        if (interrupted) {
            QVERIFY(terminal.type("Half"));
            ::kill(pid_t(tool.processId()), SIGINT);
            QVERIFY(tool.waitForFinished(20000));
            QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
            QVERIFY(terminal.echoing()); // the terminal is given back as it was
            QVERIFY(QDir(dir.path()).isEmpty());
            return;
        }
        QVERIFY(terminal.type("Typed9\n"));
        QVERIFY2(waitForText(tool, prompts, "Retype master password: "), prompts.constData());
        QVERIFY(terminal.type(retyped));
        QVERIFY(tool.waitForFinished(60000));
        prompts += tool.readAllStandardError();
        const QString output = QString::fromUtf8(tool.readAllStandardOutput());
        QVERIFY2(!terminal.shown().contains("Typed9") && !terminal.shown().contains("Typo9"),
                 terminal.shown().constData());
        QVERIFY(terminal.echoing());
        if (retyped != "Typed9\n") {
            QCOMPARE(tool.exitCode(), 1);
            QVERIFY2(prompts.contains("differ"), prompts.constData());
            QVERIFY(QDir(dir.path()).isEmpty());
            return;
        }
        QVERIFY2(tool.exitCode() == 0, qPrintable(output + QString::fromUtf8(prompts)));
        QCOMPARE(userCount(QStringLiteral("Typed"), QStringLiteral("Typed9")), 0);
    }

    void readsOneLineFromStandardInputWhenAsked_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        const QStringList fromStdin{QStringLiteral("--password-stdin")};
        QTest::newRow("a line") << fromStdin << QByteArray("Piped7\n") << 0;
        QTest::newRow("a line without its break") << fromStdin << QByteArray("Piped7") << 0;
        QTest::newRow("nothing") << fromStdin << QByteArray() << 1;
        QTest::newRow("an empty line") << fromStdin << QByteArray("\n") << 1;
        // Without the option and without a terminal nothing is read: a script that forgot the
        // password ends at once instead of waiting for input nobody sends.
        QTest::newRow("not asked") << QStringList() << QByteArray("Piped7\n") << 1;
        QTest::newRow("both --password and --password-stdin")
            << QStringList{"--password-stdin", "--password", "Piped7"} << QByteArray("Piped7\n")
            << 1;
    }
    void readsOneLineFromStandardInputWhenAsked()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const Run run =
            vesksec(QStringList{QStringLiteral("create"), QStringLiteral("--dir"), dir.path(),
                                QStringLiteral("--alias"), QStringLiteral("Piped")} +
                        options,
                    input);
        QVERIFY2(run.exitCode == exitCode, qPrintable(describe(run)));
        QVERIFY(!run.output.contains(QStringLiteral("Piped7")));
        if (exitCode == 0)
            QCOMPARE(userCount(QStringLiteral("Piped"), QStringLiteral("Piped7")), 0);
        else
            QVERIFY(QDir(dir.path()).isEmpty());
    }

    void helpSaysThePasswordOptionIsVisibleToOthers()
    {
        const Run help = vesksec({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        const QString text = help.output.simplified();
        QVERIFY2(text.contains(QStringLiteral("Visible to other users in the process list")),
                 qPrintable(help.output));
        QVERIFY(text.contains(QStringLiteral("--replace")));
        QVERIFY(text.contains(QStringLiteral("--password-stdin")));
    }

    // On a server the schema takes the directory's place: the same refusal over existing
    // tables, --replace empties them, the alias is saved without the password, and a password
    // that is not the role's creates nothing.
    void createsOnAServerAsInADirectory()
    {
        testsupport::TestServer &server = testsupport::TestServer::instance();
        const QString connection = server.connectionFor(QStringLiteral("Old1"));
        const QString schema = server.newSchema();
        const QString alias = QStringLiteral("CliServer");
        const auto onServer = [&](const QStringList &command, const QString &password) {
            return vesksec(command + QStringList{"--server", connection, "--schema", schema,
                                                 "--alias", alias, "--password", password});
        };
        Run run = onServer({"demo"}, QStringLiteral("Old1"));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(userCount(alias, QStringLiteral("Old1")), 5);

        for (const QStringList &again : {QStringList{"create"}, QStringList{"demo"}}) {
            run = onServer(again, QStringLiteral("Old1"));
            QVERIFY2(run.exitCode == 1 && run.output.contains(QStringLiteral("security tables "
                                                                             "exist in")),
                     qPrintable(describe(run)));
        }
        QCOMPARE(userCount(alias, QStringLiteral("Old1")), 5);
        run = onServer({"create", "--replace"}, QStringLiteral("Old1"));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(userCount(alias, QStringLiteral("Old1")), 0);

        QFile config(dbe::Session::instance().configFile());
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QByteArray saved = config.readAll();
        QVERIFY(saved.contains(schema.toUtf8()));
        QVERIFY(!saved.contains("Old1"));

        run = vesksec({"create", "--server", connection, "--schema", server.newSchema(), "--alias",
                       "CliWrongRole", "--password", "NotTheRoles"});
        QVERIFY2(run.exitCode == 1 && run.output.contains(QStringLiteral("Invalid password")),
                 qPrintable(describe(run)));
        dbe::Session::instance().reloadConfig();
        QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("CliWrongRole")));
    }

    // Administrators' scripts creating databases at once: every alias is registered. (Twenty
    // programs saving at once are the engine's test; this is the tool end to end.)
    void parallelCreatesLoseNoAlias()
    {
        constexpr int Tools = 6;
        QTemporaryDir dirs;
        std::vector<std::unique_ptr<QProcess>> tools;
        for (int i = 0; i < Tools; ++i) {
            auto tool = std::make_unique<QProcess>();
            tool->setProcessChannelMode(QProcess::MergedChannels);
            tool->start(Vesksec, {QStringLiteral("create"), QStringLiteral("--dir"),
                                  dirs.filePath(QString::number(i)), QStringLiteral("--alias"),
                                  QStringLiteral("Parallel%1").arg(i), QStringLiteral("--password"),
                                  QStringLiteral("Pw1")});
            tools.push_back(std::move(tool));
        }
        for (auto &tool : tools) {
            QVERIFY(tool->waitForFinished(60000));
            QVERIFY2(tool->exitCode() == 0, tool->readAll().constData());
        }
        dbe::Session &session = dbe::Session::instance();
        session.reloadConfig();
        for (int i = 0; i < Tools; ++i) {
            const QString alias = QStringLiteral("Parallel%1").arg(i);
            QVERIFY2(session.hasAlias(alias), qPrintable(alias));
            QCOMPARE(session.directoryOf(alias), dirs.filePath(QString::number(i)));
        }
    }

    // policy, user unlock and audit: their statuses, and verify naming an altered entry.
    void policyUnlockAndAuditCommands()
    {
        QTemporaryDir dir;
        const QStringList db = {QStringLiteral("--alias"), QStringLiteral("CliAudit"),
                                QStringLiteral("--password"), QStringLiteral("Pw1")};
        const auto run = [&](const QStringList &args) { return vesksec(args + db); };
        QCOMPARE(run({"demo", "--dir", dir.path()}).exitCode, 0);
        const Run set = run({"policy", "--lockout-after", "2", "--log-failed", "on", "--json"});
        QCOMPARE(set.exitCode, 0);
        QVERIFY2(set.output.contains(QStringLiteral("\"lockoutAfter\":2")), qPrintable(set.output));
        QCOMPARE(run({"policy", "--lockout-after", "two"}).exitCode, 2);
        QCOMPARE(run({"user", "unlock", "nobody"}).exitCode, 1);
        QCOMPARE(run({"user", "unlock", "clerk"}).exitCode, 0);
        const Run list = run({"audit", "list", "--json"});
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.output.contains(QStringLiteral("\"actor\": \"vesksec policy\"")),
                 qPrintable(list.output));
        QVERIFY(run({"audit", "verify"}).output.contains(QStringLiteral("1 entries")));

        dbe::Session::instance().reloadConfig();
        dbe::Session::instance().addPassword(QStringLiteral("Pw1"));
        {
            dbe::Table audit;
            audit.setDatabaseName(QStringLiteral("CliAudit"));
            audit.setTableName(QStringLiteral("AUDIT.DB"));
            audit.open();
            QVERIFY(audit.findKey({1}));
            audit.edit();
            audit.setValue(QStringLiteral("Change"), QStringLiteral("nothing"));
            audit.post();
        }
        dbe::Session::instance().closeDatabases();
        const Run verify = run({"audit", "verify"});
        QCOMPARE(verify.exitCode, 1);
        QVERIFY2(verify.output.contains(QStringLiteral("entry 1 breaks the chain")),
                 qPrintable(verify.output));
    }
};

QTEST_GUILESS_MAIN(VesksecTest)
#include "tst_vesksec.moc"
