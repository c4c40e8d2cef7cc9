#include "logontestkit.h"

#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <sys/resource.h>

namespace logontest {

std::unique_ptr<TVeskSecure> unloadedComponent(const testsupport::SecurityDb &db,
                                               TSecurityOptions options)
{
    auto component = std::make_unique<TVeskSecure>();
    component->SetAlias(db.alias());
    component->SetPassword(db.password());
    component->SetOptions(options);
    return component;
}

std::unique_ptr<TVeskSecure> activatedComponent(const testsupport::SecurityDb &db,
                                                TSecurityOptions options)
{
    auto component = unloadedComponent(db, options);
    component->Loaded();
    if (component->TerminationRequested())
        qWarning("the component asked to end the application while loading");
    return component;
}

QList<QVariantMap> rowsOf(const QString &databaseName, const QString &table)
{
    dbe::Table cursor;
    cursor.setDatabaseName(databaseName);
    cursor.setTableName(table);
    cursor.open();
    QList<QVariantMap> rows;
    for (cursor.first(); !cursor.eof(); cursor.next()) {
        QVariantMap row;
        for (const dbe::FieldInfo &field : cursor.fields())
            row.insert(field.name, cursor.value(field.name));
        rows.append(row);
    }
    return rows;
}

QVariantMap userRow(const QString &databaseName, int userId)
{
    for (const QVariantMap &row : rowsOf(databaseName, QStringLiteral("Users"))) {
        if (row.value(QStringLiteral("User_ID")).toInt() == userId)
            return row;
    }
    return {};
}

void setUserFields(const QString &databaseName, int userId, const QVariantMap &fields)
{
    dbe::Table users;
    users.setDatabaseName(databaseName);
    users.setTableName(QStringLiteral("Users"));
    users.open();
    if (!users.findKey({userId}))
        throw dbe::Error(QStringLiteral("no user %1").arg(userId));
    users.edit();
    for (auto it = fields.begin(); it != fields.end(); ++it)
        users.setValue(it.key(), it.value());
    users.post();
}

QString runChildAt(const QString &executable, const QStringList &arguments, int timeoutMs)
{
    QProcess child;
    child.start(executable, QStringList{QStringLiteral("--child")} + arguments);
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished();
        QTest::qFail("child process did not finish in time", __FILE__, __LINE__);
        return {};
    }
    const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        const QString message =
            QStringLiteral("child %1 failed (%2): %3 %4")
                .arg(arguments.join(u' '))
                .arg(child.exitCode())
                .arg(output, QString::fromLocal8Bit(child.readAllStandardError()));
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    }
    return output;
}

QString runChild(const QStringList &arguments, int timeoutMs)
{
    return runChildAt(QCoreApplication::applicationFilePath(), arguments, timeoutMs);
}

bool changeRow(dbe::Table &table, bool add, const QStringList &values)
{
    const QStringList keyFields = table.indexFields();
    QVariantList key;
    for (int i = 0; i < keyFields.size(); ++i) {
        const QString &value = values.at(i);
        bool isNumber = false;
        const int number = value.toInt(&isNumber);
        key << (isNumber ? QVariant(number) : QVariant(value));
    }
    if (add) {
        table.append();
        for (int i = 0; i < keyFields.size(); ++i)
            table.setValue(keyFields.at(i), key.at(i));
        table.post();
        return true;
    }
    if (!table.findKey(key))
        return false;
    table.remove();
    return true;
}

namespace {

void print(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

std::unique_ptr<TVeskSecure> childComponent(const QString &dir, const QString &master,
                                            TSecurityOptions options)
{
    auto component = std::make_unique<TVeskSecure>();
    component->SetAlias(dir);
    component->SetPassword(master);
    component->SetOptions(options);
    component->Loaded();
    return component;
}

// logonex DIR MASTER USER PASSWORD TIMES: logs the user on TIMES times. Prints "succeeded
// failed"; exits 0 when every failed logon reported an engine failure (a table held too long by
// the other workstations) and left nobody logged on.
int logonRepeatedly(const QStringList &args)
{
    const auto component = childComponent(args.at(0), args.at(1), {});
    TVeskSecure *host = component.get();
    component->setErrorHandler([host](const QString &text) {
        std::fputs(
            qPrintable(QStringLiteral("logon failed: %1 (%2)\n").arg(text, host->LastError())),
            stderr);
    });
    const int times = args.at(4).toInt();
    int succeeded = 0;
    int failedSoundly = 0;
    for (int i = 0; i < times; ++i) {
        // A logon replaces the user state without logging the previous user off, so a logon
        // that fails before it writes would leave the last one's user on: start from nobody.
        component->SetActive(false);
        if (component->LogonEx(args.at(2), args.at(3)))
            ++succeeded;
        else if (!component->GetActive() && !component->LastError().isEmpty())
            ++failedSoundly;
    }
    print(QStringLiteral("%1 %2").arg(succeeded).arg(times - succeeded));
    return succeeded + failedSoundly == times ? 0 : 1;
}

// rights DIR MASTER add|remove TABLE VALUE...: an administrator's change of one row, the
// values given in the order of the table's primary key.
int changeRights(const QStringList &args)
{
    dbe::Session::instance().addPassword(args.at(1));
    dbe::Table table;
    table.setDatabaseName(args.at(0));
    table.setTableName(args.at(3));
    table.open();
    return changeRow(table, args.at(2) == QStringLiteral("add"), args.mid(4)) ? 0 : 2;
}

// rightsloop DIR MASTER: reads changes "add|remove TABLE VALUE..." from its input, one a line,
// and answers each with "done N" once it is committed; an administrator's window that stays
// open while the test watches another workstation.
int changeRightsFromInput(const QStringList &args)
{
    dbe::Session::instance().addPassword(args.at(1));
    std::map<QString, std::unique_ptr<dbe::Table>> tables;
    QTextStream input(stdin);
    for (int done = 1;; ++done) {
        const QString line = input.readLine();
        if (line.isNull())
            return 0;
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        std::unique_ptr<dbe::Table> &table = tables[words.at(1)];
        if (!table) {
            table = std::make_unique<dbe::Table>();
            table->setDatabaseName(args.at(0));
            table->setTableName(words.at(1));
            table->open();
        }
        if (!changeRow(*table, words.at(0) == QStringLiteral("add"), words.mid(2)))
            return 2;
        print(QStringLiteral("done %1").arg(done));
    }
}

// toggle DIR MASTER USER ACCESS ROUNDS COUNTERS: grants the constant to the user directly and
// takes it back, ROUNDS commits in all (odd ones grant), as fast as the disk allows. The file
// COUNTERS holds two 64-bit counters the test reads while it runs: the round begun, then the
// round committed. It pauses briefly after each commit.
int toggleRight(const QStringList &args)
{
    dbe::Session::instance().addPassword(args.at(1));
    QFile counterFile(args.at(5));
    if (!counterFile.open(QIODevice::ReadWrite))
        return 2;
    auto *counters = reinterpret_cast<std::atomic<qint64> *>(counterFile.map(0, 16));
    if (!counters)
        return 2;
    dbe::Table rights;
    rights.setDatabaseName(args.at(0));
    rights.setTableName(QStringLiteral("UserAcc"));
    rights.open();
    const QStringList key = {args.at(2), args.at(3), QStringLiteral("C")};
    const int rounds = args.at(4).toInt();
    for (int round = 1; round <= rounds; ++round) {
        counters[0].store(round);
        if (!changeRow(rights, round % 2 == 1, key))
            return 2;
        counters[1].store(round);
        // A host's tests come between commits, not only while one is under way. Long enough for
        // the first test after a server's commit to finish inside the pause on a busy machine
        // (tens of milliseconds when the test runs beside others).
        QThread::usleep(25000);
    }
    return 0;
}

// fresh DIR MASTER USER PASSWORD ACCESS: what a host started now answers: "logon=L access=A"
// (1 or 0; the access test only after a logon), or "error" when a call failed.
int freshAnswer(const QStringList &args)
{
    const ui::MessageRecorder noBoxes;
    const auto component = childComponent(args.at(0), args.at(1), {});
    component->setErrorHandler([](const QString &) {});
    const bool loggedOn = component->LogonEx(args.at(2), args.at(3));
    const bool granted = loggedOn && component->TestAccess(args.at(4).toInt());
    if (!component->LastError().isEmpty())
        print(QStringLiteral("error"));
    else
        print(QStringLiteral("logon=%1 access=%2").arg(int(loggedOn)).arg(int(granted)));
    return 0;
}

// netware DIR MASTER OPTIONS: the NetWare name and a network logon, as a host would see them.
int networkLogon(const QStringList &args)
{
    const auto component = childComponent(args.at(0), args.at(1),
                                          TSecurityOptions::fromByte(quint8(args.at(2).toUInt())));
    const QString name = component->GetNetwareUserName();
    const bool loggedOn = component->NWLogon();
    print(QStringLiteral("name=%1;result=%2;user=%3")
              .arg(name)
              .arg(loggedOn ? 1 : 0)
              .arg(component->UserID()));
    return 0;
}

// activate DIR MASTER OPTIONS: activation with automatic logon; any logon dialog is cancelled.
int activate(const QStringList &args)
{
    // No test runs in the child to report to: the parent reads whether the dialog came.
    const testsupport::ExpectDialog<TFormLogon> logonDialog(
        [](TFormLogon *dialog) { dialog->reject(); });
    logonDialog.keepQuiet();
    const auto component = childComponent(args.at(0), args.at(1),
                                          TSecurityOptions::fromByte(quint8(args.at(2).toUInt())));
    print(QStringLiteral("dialog=%1;user=%2;terminated=%3")
              .arg(logonDialog.ran() ? 1 : 0)
              .arg(component->UserID())
              .arg(component->TerminationRequested() ? 1 : 0));
    return 0;
}

// logloop DIR MASTER USER PASSWORD: logs the user on until killed; "ready" after the first.
int logonUntilKilled(const QStringList &args)
{
    const ui::MessageRecorder noBoxes;
    const auto component = childComponent(args.at(0), args.at(1), {});
    component->setErrorHandler([](const QString &) {});
    for (bool first = true;; first = false) {
        component->LogonEx(args.at(2), args.at(3));
        if (first)
            print(QStringLiteral("ready"));
    }
}

// fill DIR MASTER USER PASSWORD ACCESS FILESIZELIMIT: logs on and tests ACCESS in turn until
// the disk is full (with a limit above 0, every file of the process is held below it). Prints
// "logons grants halfdone": the logons and grants that succeeded, and the failed calls that left
// somebody logged on or reported no engine failure.
int logOnUntilFull(const QStringList &args)
{
    if (const qint64 limit = args.at(5).toLongLong(); limit > 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending us
        const rlimit fileSize{rlim_t(limit), rlim_t(limit)};
        setrlimit(RLIMIT_FSIZE, &fileSize);
    }
    const ui::MessageRecorder noBoxes;
    const auto component = childComponent(args.at(0), args.at(1), {});
    component->setErrorHandler([](const QString &) {});
    const int access = args.at(4).toInt();
    int logons = 0;
    int grants = 0;
    int halfDone = 0;
    int failedInARow = 0;
    for (int round = 0; round < 20000 && failedInARow < 20; ++round) {
        const bool loggedOn = component->LogonEx(args.at(2), args.at(3));
        if (loggedOn)
            ++logons;
        else if (component->GetActive() || component->LastError().isEmpty())
            ++halfDone;
        const bool granted = loggedOn && component->TestAccess(access);
        if (granted)
            ++grants;
        else if (loggedOn && component->LastError().isEmpty())
            ++halfDone;
        failedInARow = loggedOn && granted ? 0 : failedInARow + 1;
    }
    print(QStringLiteral("%1 %2 %3").arg(logons).arg(grants).arg(halfDone));
    return failedInARow >= 20 ? 0 : 4; // 4: the disk never filled
}

} // namespace

int childMain(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return 64;
    const QString task = arguments.first();
    const QStringList args = arguments.mid(1);
    try {
        if (task == QStringLiteral("logonex"))
            return logonRepeatedly(args);
        if (task == QStringLiteral("fresh"))
            return freshAnswer(args);
        if (task == QStringLiteral("rights"))
            return changeRights(args);
        if (task == QStringLiteral("rightsloop"))
            return changeRightsFromInput(args);
        if (task == QStringLiteral("toggle"))
            return toggleRight(args);
        if (task == QStringLiteral("netware"))
            return networkLogon(args);
        if (task == QStringLiteral("activate"))
            return activate(args);
        if (task == QStringLiteral("logloop"))
            return logonUntilKilled(args);
        if (task == QStringLiteral("fill"))
            return logOnUntilFull(args);
    } catch (const dbe::Error &error) {
        std::fputs(qPrintable(error.text() + u'\n'), stderr);
        return 3;
    }
    return 64;
}

} // namespace logontest
