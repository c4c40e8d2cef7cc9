// The one creation routine of the desktop and the command line, in a directory and on a server.

#include "dbe/aliasconfig.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "rules/createdatabase.h"
#include "tests/support/testsupport.h"
#include "tests/support/teststorage.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class CreateDatabaseTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    security::DatabasePlace newPlace(const QString &name)
    {
        if (testsupport::currentStorage() == testsupport::Storage::SqlCipher)
            return {m_dir.filePath(name), QString(), QString()};
        testsupport::TestServer &server = testsupport::TestServer::instance();
        return {QString(), server.connectionFor(QStringLiteral("Create1")), server.newSchema()};
    }
    static bool saved(const QString &alias)
    {
        for (const dbe::AliasInfo &info : dbe::AliasConfig::read(dbe::Session::instance().configFile()))
            if (info.name == alias)
                return true;
        return false;
    }

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void init() { testsupport::followStorageRow(); }

    // Tables already at the place are reported before anything is written or registered, the
    // alias is saved only once the seven tables exist, and none is left by a refusal.
    void createsWhereNothingIsAndRegistersAfterwards()
    {
        const security::DatabasePlace place = newPlace(QStringLiteral("fresh"));
        {
            security::DatabaseCreation creation(QStringLiteral("FRESH"), place, "Create1");
            QVERIFY(creation.existingTables().isEmpty());
            QVERIFY(!saved(QStringLiteral("FRESH")));
            creation.create(security::ExistingTables::Refuse);
            QVERIFY(saved(QStringLiteral("FRESH")));
        }
        dbe::Session &session = dbe::Session::instance();
        QCOMPARE(session.database(QStringLiteral("FRESH"))->tableNames().size(), 7);
        {
            security::DatabaseCreation again(QStringLiteral("AGAIN"), place, "Create1");
            QCOMPARE(again.existingTables().size(), 7);
        }
        QVERIFY(!session.hasAlias(QStringLiteral("AGAIN")) && !saved(QStringLiteral("AGAIN")));
        // A known alias is used for its own place only.
        QVERIFY_THROWS_EXCEPTION(dbe::Error, security::DatabaseCreation(
                                                 QStringLiteral("FRESH"),
                                                 newPlace(QStringLiteral("other")), "Create1"));
        session.deleteAlias(QStringLiteral("FRESH"));
    }

    // Given up before anything was written, a creation in directories it had to make removes
    // them again, down to the one that was there.
    void givenUpLeavesNoDirectoryItMade()
    {
        if (testsupport::currentStorage() != testsupport::Storage::SqlCipher)
            QSKIP("a server schema has no directory");
        const QString outer = m_dir.filePath(QStringLiteral("outer"));
        {
            security::DatabaseCreation creation(
                QStringLiteral("GIVENUP"), {outer + QStringLiteral("/inner"), {}, {}}, "Create1");
            QVERIFY(QFileInfo::exists(outer + QStringLiteral("/inner")));
        }
        QVERIFY(!QFileInfo::exists(outer));
        QVERIFY(QFileInfo::exists(m_dir.path()));
    }
};

QTEST_GUILESS_MAIN(CreateDatabaseTest)
#include "tst_createdatabase.moc"
