// The one creation routine of the desktop and the command line, in a directory and on a server.

#include "dbe/aliasconfig.h"
#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "rules/createdatabase.h"
#include "tests/support/testsupport.h"
#include "tests/support/teststorage.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

const QString Password = QStringLiteral("Create1");

bool savedInConfiguration(const QString &alias)
{
    for (const dbe::AliasInfo &saved :
         dbe::AliasConfig::read(dbe::Session::instance().configFile()))
        if (saved.name.compare(alias, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

class CreateDatabaseTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // A new place in the row's storage, each call another one.
    security::DatabasePlace newPlace(const QString &name)
    {
        if (testsupport::currentStorage() == testsupport::Storage::SqlCipher)
            return {m_dir.filePath(name), QString(), QString()};
        testsupport::TestServer &server = testsupport::TestServer::instance();
        return {QString(), server.connectionFor(Password), server.newSchema()};
    }

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void init() { testsupport::followStorageRow(); }

    // Tables already at the place are reported before anything is written or registered, and
    // the alias is saved only once the seven tables exist.
    void createsWhereNothingIsAndRegistersAfterwards()
    {
        const security::DatabasePlace place = newPlace(QStringLiteral("fresh"));
        dbe::Session &session = dbe::Session::instance();
        {
            security::DatabaseCreation creation(QStringLiteral("FRESH"), place, Password);
            QVERIFY(creation.existingTables().isEmpty());
            QVERIFY(creation.aliasIsNew());
            QVERIFY(!savedInConfiguration(QStringLiteral("FRESH")));
            creation.create(security::ExistingTables::Refuse);
            QVERIFY(savedInConfiguration(QStringLiteral("FRESH")));
        }
        QCOMPARE(session.database(QStringLiteral("FRESH"))->tableNames().size(), 7);

        // The same place again, under another new alias: refused by its tables, and the alias
        // it would have added is gone with the attempt.
        {
            security::DatabaseCreation again(QStringLiteral("AGAIN"), place, Password);
            QCOMPARE(again.existingTables().size(), 7);
        }
        QVERIFY(!session.hasAlias(QStringLiteral("AGAIN")));
        QVERIFY(!savedInConfiguration(QStringLiteral("AGAIN")));

        // The alias known already is used for its own place only.
        try {
            security::DatabaseCreation elsewhere(QStringLiteral("FRESH"),
                                                 newPlace(QStringLiteral("other")), Password);
            QFAIL("an alias was taken over for another place");
        } catch (const dbe::Error &error) {
            QCOMPARE(error.code(), dbe::Error::DuplicateAlias);
        }
        session.deleteAlias(QStringLiteral("FRESH"));
    }

    // A table the engine refuses halfway leaves no alias, neither known nor saved.
    void failedCreationLeavesNoAlias()
    {
        if (testsupport::currentStorage() != testsupport::Storage::SqlCipher)
            QSKIP("a folder in a table file's place is a directory's fault");
        const security::DatabasePlace place = newPlace(QStringLiteral("blocked"));
        QVERIFY(QDir().mkpath(QDir(place.directory).filePath(QStringLiteral("LOG.DB"))));
        {
            security::DatabaseCreation creation(QStringLiteral("HALF"), place, Password);
            QVERIFY_THROWS_EXCEPTION(dbe::Error,
                                     creation.create(security::ExistingTables::Refuse));
        }
        QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("HALF")));
        QVERIFY(!savedInConfiguration(QStringLiteral("HALF")));
    }
};

QTEST_GUILESS_MAIN(CreateDatabaseTest)
#include "tst_createdatabase.moc"
