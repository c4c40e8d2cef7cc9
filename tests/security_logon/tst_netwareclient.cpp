// The NetWare client: searched beside the executable and in the system folders, loaded at run
// time, its two entry points called, the name read at byte 72. A small library built here
// stands in for the client.

#include "logontestkit.h"
#include "security/netware.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace logontest;
using security::NetwareClient;
using testsupport::SecurityDb;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value) : m_name(name) { qputenv(m_name, value); }
    ~ScopedEnv() { qunsetenv(m_name); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
};

QString optionsArgument(TSecurityOptions options)
{
    return QString::number(options.toByte());
}

} // namespace

class TestNetwareClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void searchTakesTheFirstFolderHoldingTheLibrary();
    void searchStartsBesideTheExecutable();
    void readsTheConnectionsUserName_data();
    void readsTheConnectionsUserName();
    void hostFindsTheClientBesideItself_data();
    void hostFindsTheClientBesideItself();
    void activationFallsBackToDialogWithoutClient_data();
    void activationFallsBackToDialogWithoutClient();

private:
    bool buildLibrary(const QString &folder, const QStringList &extraFlags);
    QString folderFor(const QString &kind) const;
    QString hostIn(const QString &kind) const;

    QTemporaryDir m_complete; // the library and a copy of this executable
    QTemporaryDir m_partial;  // a library without the second entry point
    QTemporaryDir m_broken;   // a file of the library's name that is no library
    QTemporaryDir m_none;     // no library, and a copy of this executable
};

bool TestNetwareClient::buildLibrary(const QString &folder, const QStringList &extraFlags)
{
    const QString compiler = QStandardPaths::findExecutable(QStringLiteral("g++"));
    if (compiler.isEmpty())
        return false;
    const QString source = QDir(folder).filePath(QStringLiteral("fake_nwcalls.cpp"));
    QFile::copy(QStringLiteral(FAKE_NWCALLS_SOURCE), source);
    QProcess build;
    build.start(compiler,
                QStringList{QStringLiteral("-shared"), QStringLiteral("-fPIC"),
                            QStringLiteral("-fvisibility=hidden"), QStringLiteral("-o"),
                            QDir(folder).filePath(NetwareClient::libraryFileName()), source} +
                    extraFlags);
    return build.waitForFinished(60000) && build.exitCode() == 0;
}

void TestNetwareClient::initTestCase()
{
    QVERIFY(m_complete.isValid() && m_partial.isValid() && m_broken.isValid() && m_none.isValid());
    QVERIFY2(buildLibrary(m_complete.path(), {}), "could not build the stand-in client");
    QVERIFY(buildLibrary(m_partial.path(), {QStringLiteral("-DWITHOUT_STATUS")}));
    QFile junk(QDir(m_broken.path()).filePath(NetwareClient::libraryFileName()));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a shared library\n");
    junk.close();

    for (const QString &kind : {QStringLiteral("complete"), QStringLiteral("none")}) {
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), hostIn(kind)));
        QFile(hostIn(kind)).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

QString TestNetwareClient::folderFor(const QString &kind) const
{
    if (kind == QStringLiteral("complete"))
        return m_complete.path();
    if (kind == QStringLiteral("partial"))
        return m_partial.path();
    if (kind == QStringLiteral("broken"))
        return m_broken.path();
    return m_none.path();
}

QString TestNetwareClient::hostIn(const QString &kind) const
{
    return QDir(folderFor(kind)).filePath(QStringLiteral("nwhost"));
}

void TestNetwareClient::searchTakesTheFirstFolderHoldingTheLibrary()
{
    const QString library = NetwareClient::libraryFileName();
    QCOMPARE(NetwareClient::findLibrary({m_none.path(), m_complete.path(), m_partial.path()}),
             QDir(m_complete.path()).filePath(library));
    QCOMPARE(NetwareClient::findLibrary({m_partial.path(), m_complete.path()}),
             QDir(m_partial.path()).filePath(library));
    QVERIFY(NetwareClient::findLibrary({m_none.path()}).isEmpty());
    QVERIFY(NetwareClient::findLibrary({}).isEmpty());
}

void TestNetwareClient::searchStartsBesideTheExecutable()
{
    const QStringList path = NetwareClient::defaultSearchPath();
    QVERIFY(!path.isEmpty());
    QCOMPARE(path.first(), QCoreApplication::applicationDirPath());
    QVERIFY(path.contains(QStringLiteral("/usr/lib")));
}

void TestNetwareClient::readsTheConnectionsUserName_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("primaryResult");
    QTest::addColumn<QByteArray>("statusResult");
    QTest::addColumn<QString>("expected");

    const QByteArray longest(48, 'N');
    QTest::newRow("name at byte 72")
        << "complete" << QByteArray("NWUSER") << QByteArray() << QByteArray() << "NWUSER";
    QTest::newRow("name filling the buffer")
        << "complete" << longest << QByteArray() << QByteArray() << QString::fromLatin1(longest);
    QTest::newRow("empty name") << "complete" << QByteArray() << QByteArray() << QByteArray() << "";
    QTest::newRow("no primary connection")
        << "complete" << QByteArray("NWUSER") << QByteArray("35") << QByteArray() << "";
    QTest::newRow("status refused")
        << "complete" << QByteArray("NWUSER") << QByteArray() << QByteArray("1") << "";
    QTest::newRow("second entry point missing")
        << "partial" << QByteArray("NWUSER") << QByteArray() << QByteArray() << "";
    QTest::newRow("not a library")
        << "broken" << QByteArray("NWUSER") << QByteArray() << QByteArray() << "";
    QTest::newRow("no client installed")
        << "none" << QByteArray("NWUSER") << QByteArray() << QByteArray() << "";
}

void TestNetwareClient::readsTheConnectionsUserName()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, primaryResult);
    QFETCH(QByteArray, statusResult);
    QFETCH(QString, expected);

    const ScopedEnv name("FAKE_NW_USER", user);
    const ScopedEnv primary("FAKE_NW_PRIMARY_RESULT", primaryResult);
    const ScopedEnv status("FAKE_NW_STATUS_RESULT", statusResult);
    QCOMPARE(NetwareClient::primaryConnectionUserName({folderFor(kind)}), expected);
}

void TestNetwareClient::hostFindsTheClientBesideItself_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<quint8>("options");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<bool>("loggedOn");

    const quint8 netware = TSecurityOptions{soNetwareSupport}.toByte();
    const quint8 both = TSecurityOptions{soNetwareSupport, soWinNetSupport}.toByte();
    QTest::newRow("client beside the host") << "complete" << netware << "NWUSER" << true;
    QTest::newRow("network options clear") << "complete" << quint8(0) << "NWUSER" << false;
    QTest::newRow("workstation name comes first") << "complete" << both << "NWUSER" << false;
    QTest::newRow("no client") << "none" << netware << "" << false;
}

void TestNetwareClient::hostFindsTheClientBesideItself()
{
    QFETCH(QString, kind);
    QFETCH(quint8, options);
    QFETCH(QString, expectedName);
    QFETCH(bool, loggedOn);

    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("NwUser"), QStringLiteral("unused"));
    const ScopedEnv name("FAKE_NW_USER", "NWUSER");

    const QString output = runChildAt(hostIn(kind), {QStringLiteral("netware"), db.dir(),
                                                     db.password(), QString::number(options)});
    QCOMPARE(output.trimmed(), QStringLiteral("name=%1;result=%2;user=%3")
                                   .arg(expectedName)
                                   .arg(loggedOn ? 1 : 0)
                                   .arg(loggedOn ? user : -1));
    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(),
             loggedOn ? 1 : 0);
    QCOMPARE(db.rowCount(QStringLiteral("Log")), loggedOn ? 1 : 0);
}

void TestNetwareClient::activationFallsBackToDialogWithoutClient_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");

    QTest::newRow("client present") << "complete"
                                    << "dialog=0;user=%1;terminated=0";
    QTest::newRow("no client") << "none"
                               << "dialog=1;user=-1;terminated=1";
}

void TestNetwareClient::activationFallsBackToDialogWithoutClient()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);

    SecurityDb db;
    db.setSettings(true, false);
    const int user = db.addUser(QStringLiteral("NwUser"), QStringLiteral("unused"));
    const ScopedEnv name("FAKE_NW_USER", "nwuser");

    const QString output =
        runChildAt(hostIn(kind), {QStringLiteral("activate"), db.dir(), db.password(),
                                  optionsArgument({soAutoValidate, soNetwareSupport})});
    QCOMPARE(output.trimmed(), expected.contains(u'%') ? expected.arg(user) : expected);
}

LOGON_TEST_MAIN(TestNetwareClient)
#include "tst_netwareclient.moc"
