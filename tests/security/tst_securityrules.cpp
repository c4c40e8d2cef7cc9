// The rules by which users, constants, groups and rights change, called directly on a real
// security database: what each deletion takes with it and what it leaves, when a grant, a
// member or a name is refused, that a change is committed, and that a failure part way leaves
// everything as it was.
//
// Every case starts from the same content. Building it costs a key derivation per table, so it
// is built once, and each case runs in a transaction of the test's own that is rolled back
// afterwards; the rules' own transactions nest inside it.

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/audittrail.h"
#include "rules/securityrules.h"
#include "tests/support/testsupport.h"

#include <QDateTime>
#include <QMap>
#include <QTest>

using security::SecurityRules;
using Link = SecurityRules::Link;
using NameChange = SecurityRules::NameChange;

Q_DECLARE_METATYPE(SecurityRules::Link)
Q_DECLARE_METATYPE(SecurityRules::NameChange::Status)
Q_DECLARE_METATYPE(SecurityRules::UserChange::Status)

using UserChange = SecurityRules::UserChange;

namespace {

// Ids as a fresh database numbers them: the constant "Admin" and the group "Audit" are both 3,
// so every rule that must tell a constant from a group with the same number is put to the test.
struct Content {
    // Keeps the tables attached for the whole test: every attachment derives the key anew.
    std::shared_ptr<dbe::Database> database;
    int ann = 0, bob = 0;
    int print = 0, edit = 0, admin = 0;
    int clerks = 0, managers = 0, audit = 0;
};

Content fill(testsupport::SecurityDb &db)
{
    Content c;
    c.database = dbe::Session::instance().database(db.alias());
    c.ann = db.addUser(QStringLiteral("ann"), QStringLiteral("a"));
    c.bob = db.addUser(QStringLiteral("bob"), QStringLiteral("b"));
    c.print = db.addAccess(QStringLiteral("Print"));
    c.edit = db.addAccess(QStringLiteral("Edit"));
    c.admin = db.addAccess(QStringLiteral("Admin"));
    c.clerks = db.addGroup(QStringLiteral("Clerks"));
    c.managers = db.addGroup(QStringLiteral("Managers"));
    c.audit = db.addGroup(QStringLiteral("Audit"));
    if (c.admin != c.audit)
        qFatal("the constant Admin and the group Audit should share an id");
    db.addMember(c.clerks, c.print);
    db.addMember(c.clerks, c.edit);
    db.addMember(c.managers, c.print);
    db.addMember(c.managers, c.admin);
    db.addMember(c.audit, c.print);
    db.grant(c.ann, c.print, QStringLiteral("C"));
    db.grant(c.ann, c.edit, QStringLiteral("C"));
    db.grant(c.ann, c.admin, QStringLiteral("C"));
    db.grant(c.ann, c.clerks, QStringLiteral("G"));
    db.grant(c.bob, c.print, QStringLiteral("C"));
    db.grant(c.bob, c.managers, QStringLiteral("G"));
    db.grant(c.bob, c.audit, QStringLiteral("G"));
    // A code the editor never writes; it can be taken away like any right.
    db.grant(c.bob, c.edit, QStringLiteral("x"));
    dbe::appendRecord(db.alias(), QStringLiteral("LOG.DB"),
                      {{QStringLiteral("Access_Date"), QDateTime::currentDateTime()},
                       {QStringLiteral("User_ID"), c.ann},
                       {QStringLiteral("Access_ID"), c.print}});
    return c;
}

QMap<int, QString> namesById(const testsupport::SecurityDb &db, const QString &table,
                             const QString &idField, const QString &nameField)
{
    QMap<int, QString> names;
    for (const QString &row : testsupport::rows(db, table, {idField, nameField}))
        names.insert(row.section(QLatin1Char('|'), 0, 0).toInt(), row.section(QLatin1Char('|'), 1));
    return names;
}

// The database as names, so that a comparison says which right or member is wrong:
// "users: ann bob", "rights: ann C Print", "members: Clerks Print", ...
QStringList snapshot(const testsupport::SecurityDb &db)
{
    const auto users = namesById(db, QStringLiteral("USERS.DB"), QStringLiteral("User_ID"),
                                 QStringLiteral("User_Name"));
    const auto constants = namesById(db, QStringLiteral("ACCESS.DB"), QStringLiteral("Access_ID"),
                                     QStringLiteral("Access_Name"));
    const auto groups = namesById(db, QStringLiteral("GROUPS.DB"), QStringLiteral("Group_ID"),
                                  QStringLiteral("Group_Name"));
    const auto name = [](const QMap<int, QString> &names, const QString &id) {
        return names.value(id.toInt(), QStringLiteral("#") + id);
    };
    QStringList result;
    result << QStringLiteral("users: ") + QStringList(users.values()).join(u' ');
    result << QStringLiteral("constants: ") + QStringList(constants.values()).join(u' ');
    result << QStringLiteral("groups: ") + QStringList(groups.values()).join(u' ');
    for (const QString &row :
         testsupport::rows(db, QStringLiteral("USERACC.DB"), {"User_ID", "Type", "Access_ID"})) {
        const QStringList f = row.split(u'|');
        result << QStringLiteral("rights: %1 %2 %3")
                      .arg(name(users, f[0]), f[1],
                           name(f[1] == QLatin1String("G") ? groups : constants, f[2]));
    }
    for (const QString &row :
         testsupport::rows(db, QStringLiteral("GRPCOLL.DB"), {"Group_ID", "Access_ID"})) {
        const QStringList f = row.split(u'|');
        result << QStringLiteral("members: %1 %2").arg(name(groups, f[0]), name(constants, f[1]));
    }
    result << QStringLiteral("log rows: %1").arg(db.rowCount(QStringLiteral("LOG.DB")));
    return result;
}

QStringList without(QStringList lines, const QStringList &gone)
{
    for (const QString &line : gone) {
        if (!lines.removeOne(line))
            qFatal("the fixture has no line \"%s\"", qPrintable(line));
    }
    return lines;
}

// A test case's changes, undone when it ends.
class Scratch
{
public:
    explicit Scratch(dbe::Database &database) : m_database(database) { m_database.begin(); }
    ~Scratch() { m_database.rollback(); }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

private:
    dbe::Database &m_database;
};

int idOf(const Content &c, const QString &name)
{
    const QMap<QString, int> ids = {
        {"ann", c.ann},     {"bob", c.bob},       {"Print", c.print},       {"Edit", c.edit},
        {"Admin", c.admin}, {"Clerks", c.clerks}, {"Managers", c.managers}, {"Audit", c.audit},
    };
    return ids.value(name, 99); // 99: nothing has that id
}

} // namespace

class TestSecurityRules : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::SecurityDb> m_db;
    Content m_content;

private Q_SLOTS:
    void initTestCase()
    {
        testsupport::isolateEngineConfig();
        m_db = std::make_unique<testsupport::SecurityDb>();
        m_content = fill(*m_db);
        // Each rule writes its audit entry; the trail's table is made and attached here, since
        // the cases run inside a transaction of the test's own.
        security::AuditTrail trail(m_db->alias());
    }
    void cleanupTestCase()
    {
        m_content = {};
        m_db.reset();
    }

    void deletionTakesItsDependants_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("gone");
        QTest::addColumn<QStringList>("kept");

        // A user goes with his rights; his log rows stay.
        QTest::newRow("user") << "user"
                              << "ann" << true
                              << QStringList{"users: ann bob", "rights: ann C Print",
                                             "rights: ann C Edit", "rights: ann C Admin",
                                             "rights: ann G Clerks"}
                              << QStringList{"users: bob"};
        // A constant goes with its direct grants and memberships; group rights stay, also the
        // right to the group Audit that has the constant's id.
        QTest::newRow("constant held by two users, member of three groups")
            << "constant"
            << "Print" << true
            << QStringList{"constants: Print Edit Admin", "rights: ann C Print",
                           "rights: bob C Print",         "members: Clerks Print",
                           "members: Managers Print",     "members: Audit Print"}
            << QStringList{"constants: Edit Admin"};
        QTest::newRow("constant whose id a granted group shares")
            << "constant"
            << "Admin" << true
            << QStringList{"constants: Print Edit Admin", "rights: ann C Admin",
                           "members: Managers Admin"}
            << QStringList{"constants: Print Edit"};
        // A group goes with its grants and members; the constants, and the direct right to the
        // constant with the group's id, stay.
        QTest::newRow("group whose id a granted constant shares")
            << "group"
            << "Audit" << true
            << QStringList{"groups: Clerks Managers Audit", "rights: bob G Audit",
                           "members: Audit Print"}
            << QStringList{"groups: Clerks Managers"};
        QTest::newRow("group with two members")
            << "group"
            << "Clerks" << true
            << QStringList{"groups: Clerks Managers Audit", "rights: ann G Clerks",
                           "members: Clerks Print", "members: Clerks Edit"}
            << QStringList{"groups: Managers Audit"};
        QTest::newRow("unknown user") << "user"
                                      << "nobody" << false << QStringList{} << QStringList{};
        QTest::newRow("unknown constant") << "constant"
                                          << "nothing" << false << QStringList{} << QStringList{};
        QTest::newRow("unknown group") << "group"
                                       << "nobody" << false << QStringList{} << QStringList{};
    }
    void deletionTakesItsDependants()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(bool, found);
        QFETCH(QStringList, gone);
        QFETCH(QStringList, kept);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);
        const QStringList before = snapshot(db);

        SecurityRules rules(db.alias());
        const int id = idOf(c, name);
        bool deleted = false;
        if (kind == QLatin1String("user"))
            deleted = rules.deleteUser(id);
        else if (kind == QLatin1String("constant"))
            deleted = rules.deleteConstant(id);
        else
            deleted = rules.deleteGroup(id);

        QCOMPARE(deleted, found);
        QStringList expected = without(before, gone);
        expected.append(kept);
        expected.sort();
        QStringList after = snapshot(db);
        after.sort();
        QCOMPARE(after, expected);
    }

    // Another workstation, with a connection of its own, sees a change as soon as the rule
    // returns; and a rule that changes nothing leaves an enclosing transaction able to commit.
    void changesAreCommitted()
    {
        testsupport::SecurityDb db(QStringLiteral("COMMITTED"));
        const Content c = fill(db);
        QVERIFY(SecurityRules(db.alias()).deleteGroup(c.audit));

        dbe::Session &session = dbe::Session::instance();
        session.addStandardAlias(QStringLiteral("COMMITTED_OTHER"), db.dir());
        QCOMPARE(testsupport::rows(QStringLiteral("COMMITTED_OTHER"), QStringLiteral("GROUPS.DB"),
                                   {"Group_Name"}),
                 QStringList({"Clerks", "Managers"}));
        session.deleteAlias(QStringLiteral("COMMITTED_OTHER"));

        dbe::Transaction enclosing(*c.database);
        QVERIFY(!SecurityRules(db.alias()).deleteGroup(c.audit));
        QCOMPARE(SecurityRules(db.alias()).grant(c.ann, c.print, QStringLiteral("C")),
                 Link::AlreadyThere);
        enclosing.commit();
    }

    void failurePartWayLeavesEverything_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("busyTable"); // written last by the deletion
        QTest::newRow("user") << "user"
                              << "USERS.DB";
        QTest::newRow("constant") << "constant"
                                  << "GRPCOLL.DB";
        QTest::newRow("group") << "group"
                               << "GRPCOLL.DB";
    }
    void failurePartWayLeavesEverything()
    {
        QFETCH(QString, kind);
        QFETCH(QString, busyTable);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const QStringList before = snapshot(db);

        SecurityRules rules(db.alias());
        QString failure;
        {
            // Another workstation is writing the table the deletion writes last, so the
            // deletion fails after its other steps.
            const testsupport::OtherStationWriting busy(
                db, busyTable,
                busyTable == QLatin1String("USERS.DB")
                    ? QVariantMap{{"User_Name", "zed"}}
                    : QVariantMap{{"Group_ID", 98}, {"Access_ID", 98}});
            try {
                if (kind == QLatin1String("user"))
                    rules.deleteUser(c.ann);
                else if (kind == QLatin1String("constant"))
                    rules.deleteConstant(c.print);
                else
                    rules.deleteGroup(c.clerks);
            } catch (const dbe::Error &error) {
                failure = error.text();
            }
        }
        QVERIFY2(!failure.isEmpty(), "the deletion should have failed");
        QCOMPARE(snapshot(db), before);
    }

    void grantChecksHolderAndRight_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("target");
        QTest::addColumn<SecurityRules::Link>("result");
        QTest::addColumn<QString>("added"); // the new line of the snapshot, if any

        QTest::newRow("constant") << "bob"
                                  << "C"
                                  << "Edit" << Link::Added << "rights: bob C Edit";
        QTest::newRow("group") << "ann"
                               << "G"
                               << "Managers" << Link::Added << "rights: ann G Managers";
        QTest::newRow("group with the id of a held constant")
            << "ann"
            << "G"
            << "Audit" << Link::Added << "rights: ann G Audit";
        QTest::newRow("held already") << "ann"
                                      << "C"
                                      << "Print" << Link::AlreadyThere << "";
        QTest::newRow("unknown user") << "nobody"
                                      << "C"
                                      << "Print" << Link::NoSuchHolder << "";
        QTest::newRow("unknown constant") << "ann"
                                          << "C"
                                          << "nothing" << Link::NoSuchTarget << "";
        QTest::newRow("unknown group") << "ann"
                                       << "G"
                                       << "nothing" << Link::NoSuchTarget << "";
        QTest::newRow("lower-case type code") << "ann"
                                              << "g"
                                              << "Managers" << Link::NoSuchTarget << "";
    }
    void grantChecksHolderAndRight()
    {
        QFETCH(QString, user);
        QFETCH(QString, type);
        QFETCH(QString, target);
        QFETCH(SecurityRules::Link, result);
        QFETCH(QString, added);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);
        QStringList expected = snapshot(db);
        if (!added.isEmpty())
            expected.append(added);
        expected.sort();

        QCOMPARE(SecurityRules(db.alias()).grant(idOf(c, user), idOf(c, target), type), result);
        QStringList after = snapshot(db);
        after.sort();
        QCOMPARE(after, expected);
    }

    void revokeTakesExactlyOneRight_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("held");
        QTest::addColumn<QString>("gone");

        QTest::newRow("constant") << "ann"
                                  << "C"
                                  << "Print" << true << "rights: ann C Print";
        QTest::newRow("group") << "bob"
                               << "G"
                               << "Audit" << true << "rights: bob G Audit";
        // ann holds the constant 3, not the group 3.
        QTest::newRow("the other kind of the same id") << "ann"
                                                       << "G"
                                                       << "Audit" << false << "";
        QTest::newRow("not held") << "bob"
                                  << "C"
                                  << "Edit" << false << "";
        QTest::newRow("odd type code") << "bob"
                                       << "x"
                                       << "Edit" << true << "rights: bob x Edit";
        QTest::newRow("unknown user") << "nobody"
                                      << "C"
                                      << "Print" << false << "";
    }
    void revokeTakesExactlyOneRight()
    {
        QFETCH(QString, user);
        QFETCH(QString, type);
        QFETCH(QString, target);
        QFETCH(bool, held);
        QFETCH(QString, gone);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);
        const QStringList expected = gone.isEmpty() ? snapshot(db) : without(snapshot(db), {gone});

        QCOMPARE(SecurityRules(db.alias()).revoke(idOf(c, user), idOf(c, target), type), held);
        QCOMPARE(snapshot(db), expected);
    }

    void membersChangeOneAtATime_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("constant");
        QTest::addColumn<SecurityRules::Link>("result"); // of an addition
        QTest::addColumn<bool>("removed");               // of a removal
        QTest::addColumn<QString>("line");               // added or gone

        QTest::newRow("add") << true << "Audit"
                             << "Edit" << Link::Added << false << "members: Audit Edit";
        QTest::newRow("add a member again") << true << "Clerks"
                                            << "Print" << Link::AlreadyThere << false << "";
        QTest::newRow("add to an unknown group") << true << "nothing"
                                                 << "Print" << Link::NoSuchHolder << false << "";
        QTest::newRow("add an unknown constant") << true << "Clerks"
                                                 << "nothing" << Link::NoSuchTarget << false << "";
        QTest::newRow("remove") << false << "Clerks"
                                << "Print" << Link::Added << true << "members: Clerks Print";
        QTest::newRow("remove a non-member") << false << "Audit"
                                             << "Edit" << Link::Added << false << "";
    }
    void membersChangeOneAtATime()
    {
        QFETCH(bool, adding);
        QFETCH(QString, group);
        QFETCH(QString, constant);
        QFETCH(SecurityRules::Link, result);
        QFETCH(bool, removed);
        QFETCH(QString, line);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);
        QStringList expected = snapshot(db);
        if (!line.isEmpty() && adding)
            expected.append(line);
        else if (!line.isEmpty())
            expected = without(expected, {line});
        expected.sort();

        SecurityRules rules(db.alias());
        if (adding)
            QCOMPARE(rules.addMember(idOf(c, group), idOf(c, constant)), result);
        else
            QCOMPARE(rules.removeMember(idOf(c, group), idOf(c, constant)), removed);
        QStringList after = snapshot(db);
        after.sort();
        QCOMPARE(after, expected);
    }

    void constantNamesStayUnique_data()
    {
        QTest::addColumn<QString>("oldName"); // empty: an addition
        QTest::addColumn<QString>("newName");
        QTest::addColumn<SecurityRules::NameChange::Status>("status");
        QTest::addColumn<QString>("constants"); // the snapshot's constants line afterwards

        const QString unchanged = QStringLiteral("constants: Print Edit Admin");
        QTest::newRow("add") << ""
                             << "Export" << NameChange::Written
                             << "constants: Print Edit Admin Export";
        QTest::newRow("add, other letter case") << ""
                                                << "PRINT" << NameChange::Duplicate << unchanged;
        QTest::newRow("add, cut to twenty characters")
            << ""
            << "Print all the reports at once" << NameChange::Written
            << "constants: Print Edit Admin Print all the report";
        QTest::newRow("add, empty") << ""
                                    << "" << NameChange::EmptyName << unchanged;
        QTest::newRow("rename") << "Print"
                                << "Printing" << NameChange::Written
                                << "constants: Printing Edit Admin";
        QTest::newRow("rename, unchanged") << "Print"
                                           << "Print" << NameChange::Duplicate << unchanged;
        QTest::newRow("rename, letter case only") << "Print"
                                                  << "print" << NameChange::Duplicate << unchanged;
        QTest::newRow("rename to another's name") << "Print"
                                                  << "EDIT" << NameChange::Duplicate << unchanged;
        QTest::newRow("rename, old name gone") << "Export"
                                               << "Exporting" << NameChange::NotFound << unchanged;
        QTest::newRow("rename, empty") << "Print"
                                       << "" << NameChange::EmptyName << unchanged;
    }
    void constantNamesStayUnique()
    {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        QFETCH(SecurityRules::NameChange::Status, status);
        QFETCH(QString, constants);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);
        const QStringList before = snapshot(db);

        SecurityRules rules(db.alias());
        const NameChange change =
            oldName.isEmpty() ? rules.addConstant(newName) : rules.renameConstant(oldName, newName);
        QCOMPARE(change.status, status);
        if (status == NameChange::Written)
            QCOMPARE(change.accessId, oldName.isEmpty() ? c.admin + 1 : idOf(c, oldName));
        // Only the names change: a renamed constant keeps its rights and memberships by id.
        const QStringList after = snapshot(db);
        QCOMPARE(after.at(1), constants);
        if (oldName.isEmpty() || status != NameChange::Written)
            QCOMPARE(after.mid(2).join(u'\n'), before.mid(2).join(u'\n'));
        else
            QCOMPARE(after.mid(2).join(u'\n'), before.mid(2).join(u'\n').replace(oldName, newName));
    }

    // Users as the command line adds and changes them: the row afterwards as
    // "name|password|def1|def2|enabled|admin", or the refusal and nothing written.
    void usersKeepTheirRules_data()
    {
        QTest::addColumn<QString>("operation"); // add, alter, password
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text"); // add, password: the password; alter: def1
        QTest::addColumn<SecurityRules::UserChange::Status>("status");
        QTest::addColumn<QString>("row");

        QTest::newRow("add") << "add" << "cid" << "pw" << UserChange::Written
                             << "cid|pw|Sales||False|True";
        QTest::newRow("add, name twice in other case") << "add" << "ANN" << "pw"
                                                       << UserChange::Duplicate << "";
        QTest::newRow("add, the supervisor's name") << "add" << "Supervisor" << "pw"
                                                    << UserChange::Reserved << "";
        QTest::newRow("add, empty name") << "add" << "" << "pw" << UserChange::EmptyName << "";
        QTest::newRow("add, password of thirteen") << "add" << "cid" << "1234567890123"
                                                   << UserChange::TooLong << "";
        QTest::newRow("add, password of twelve") << "add" << "cid" << "123456789012"
                                                 << UserChange::Written
                                                 << "cid|123456789012|Sales||False|True";
        QTest::newRow("add, name of 49") << "add" << QString(49, u'n') << "pw"
                                         << UserChange::TooLong << "";
        QTest::newRow("alter") << "alter" << "ann" << "Audit" << UserChange::Written
                               << "ann|a|Audit||False|True";
        QTest::newRow("alter, def1 of 31") << "alter" << "ann" << QString(31, u'd')
                                           << UserChange::TooLong << "ann|a|||True|False";
        QTest::newRow("alter, no such user") << "alter" << "nobody" << "x"
                                             << UserChange::NotFound << "";
        QTest::newRow("password") << "password" << "bob" << "new" << UserChange::Written
                                  << "bob|new|||True|False";
        QTest::newRow("password, empty") << "password" << "bob" << "" << UserChange::Written
                                         << "bob||||True|False";
        QTest::newRow("password, thirteen") << "password" << "bob" << "1234567890123"
                                            << UserChange::TooLong << "bob|b|||True|False";
        QTest::newRow("password, no such user") << "password" << "nobody" << "x"
                                                << UserChange::NotFound << "";
    }
    void usersKeepTheirRules()
    {
        QFETCH(QString, operation);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(SecurityRules::UserChange::Status, status);
        QFETCH(QString, row);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);
        const QStringList before = snapshot(db);

        SecurityRules rules(db.alias());
        UserChange change;
        if (operation == QLatin1String("add")) {
            change = rules.addUser({name, text, false, true, QStringLiteral("Sales"), {}});
        } else if (operation == QLatin1String("alter")) {
            change = rules.alterUser(idOf(c, name), {false, true, text, std::nullopt});
        } else {
            change = rules.setPassword(idOf(c, name), text);
        }
        QCOMPARE(change.status, status);
        const QStringList users =
            testsupport::rows(db, QStringLiteral("USERS.DB"),
                              {"User_Name", "User_Password", "User_Def1", "User_Def2",
                               "User_Enabled", "User_Admin"});
        if (!row.isEmpty())
            QVERIFY2(users.contains(row), qPrintable(users.join(u' ')));
        if (status != UserChange::Written)
            QCOMPARE(snapshot(db), before);
        // Rights and log stay with the user's id whatever changes of him.
        QCOMPARE(snapshot(db).mid(1), before.mid(1));
    }

    // Constants numbered by the caller, and groups, which the command line names.
    void namesAndIdsStayUnique_data()
    {
        QTest::addColumn<QString>("kind"); // constant, group
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id"); // 0: the engine numbers it
        QTest::addColumn<SecurityRules::NameChange::Status>("status");
        QTest::addColumn<QString>("names"); // the snapshot's line afterwards

        const QString constants = QStringLiteral("constants: Print Edit Admin");
        const QString groups = QStringLiteral("groups: Clerks Managers Audit");
        QTest::newRow("constant of id 40") << "constant" << "Export" << 40 << NameChange::Written
                                           << constants + " Export";
        QTest::newRow("constant, id taken") << "constant" << "Export" << 2 << NameChange::IdTaken
                                            << constants;
        QTest::newRow("constant, id 0") << "constant" << "Export" << -1 << NameChange::BadId
                                        << constants;
        QTest::newRow("constant, name taken") << "constant" << "edit" << 40
                                              << NameChange::Duplicate << constants;
        QTest::newRow("group") << "group" << "Temps" << 0 << NameChange::Written
                               << groups + " Temps";
        QTest::newRow("group, name taken") << "group" << "MANAGERS" << 0 << NameChange::Duplicate
                                           << groups;
        QTest::newRow("group, cut to twenty") << "group" << "Temporary staff of the night" << 0
                                              << NameChange::Written
                                              << groups + " Temporary staff of t";
        QTest::newRow("group, empty") << "group" << "" << 0 << NameChange::EmptyName << groups;
    }
    void namesAndIdsStayUnique()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(SecurityRules::NameChange::Status, status);
        QFETCH(QString, names);
        testsupport::SecurityDb &db = *m_db;
        const Content &c = m_content;
        const Scratch scratch(*c.database);

        SecurityRules rules(db.alias());
        const bool constant = kind == QLatin1String("constant");
        const NameChange change = !constant ? rules.addGroup(name)
                                  : id == 0 ? rules.addConstant(name)
                                            : rules.addConstant(name, id == -1 ? 0 : id);
        QCOMPARE(change.status, status);
        QCOMPARE(snapshot(db).at(constant ? 1 : 2), names);
        if (status == NameChange::Written && constant) {
            QCOMPARE(change.accessId, id);
            // The engine numbers on after the id given.
            QCOMPARE(rules.addConstant(QStringLiteral("Next")).accessId, id + 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestSecurityRules)
#include "tst_securityrules.moc"
