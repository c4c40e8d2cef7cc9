// The component on damaged security tables: activation, logon and access tests end in a clear
// error, and never let anybody in or grant a right that the tables do not hold.

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "logontestkit.h"
#include "rules/schema.h"
#include "tests/support/damagedfiles.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <optional>

using testsupport::Damage;

Q_DECLARE_METATYPE(testsupport::Damage)

namespace {

const QString InitFailed = QStringLiteral("Error occured initializing security. Execution Ending.");
const QString UnableToAccess = QStringLiteral("Unable to Access Security Files");
const QString Alias = QStringLiteral("DAMAGED");

// What one call of the component came to: its result, the messages it showed, and the text of an
// engine error that it let escape.
struct Outcome {
    bool result = false;
    QStringList messages;
    std::optional<QString> escaped;
};

template <typename Call> Outcome attempt(Call call)
{
    ui::MessageRecorder recorder;
    Outcome outcome;
    try {
        outcome.result = call();
    } catch (const std::exception &e) {
        outcome.escaped = QString::fromUtf8(e.what());
    }
    outcome.messages = recorder.texts();
    return outcome;
}

// A failure must say what failed: a message of the component's, or the engine's text naming the
// damaged file.
bool isClear(const Outcome &outcome, const QString &file)
{
    if (outcome.escaped)
        return outcome.escaped->contains(file, Qt::CaseInsensitive);
    for (const QString &message : outcome.messages) {
        if (message != UnableToAccess && !message.contains(file, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

// Rows enough that the middle pages of the tables hold data and index entries, not only the
// engine's description of the table.
void appendRows(const QString &table, int count, const std::function<QVariantMap(int)> &row)
{
    dbe::Table cursor;
    cursor.setDatabaseName(QStringLiteral("TEMPLATE"));
    cursor.setTableName(table);
    cursor.open();
    dbe::Transaction batch(*dbe::Session::instance().database(QStringLiteral("TEMPLATE")));
    for (int i = 0; i < count; ++i) {
        cursor.append();
        const QVariantMap values = row(i);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            cursor.setValue(it.key(), it.value());
        cursor.post();
    }
    batch.commit();
}

QString describe(const Outcome &outcome)
{
    return QStringLiteral("result %1, messages [%2], escaped: %3")
        .arg(outcome.result)
        .arg(outcome.messages.join(QStringLiteral("; ")),
             outcome.escaped.value_or(QStringLiteral("nothing")));
}

} // namespace

class DamagedFilesTest : public QObject
{
    Q_OBJECT

private:
    // The database every row starts from, copied file by file: "Tester" holds no right,
    // "Holder" holds constant 1 directly and constant 2 through a group; logging is on; many
    // other users, rights, memberships and log rows fill the tables.
    std::optional<testsupport::SecurityDb> m_template;
    std::optional<QTemporaryDir> m_rowDir;

    void copyTemplate()
    {
        m_rowDir.emplace();
        const QStringList files =
            QDir(m_template->dir()).entryList({QStringLiteral("*.DB")}, QDir::Files);
        QCOMPARE(files.size(), 7);
        for (const QString &file : files)
            QVERIFY(QFile::copy(QDir(m_template->dir()).filePath(file),
                                QDir(m_rowDir->path()).filePath(file)));
        dbe::Session &session = dbe::Session::instance();
        if (session.hasAlias(Alias))
            session.deleteAlias(Alias);
        session.addStandardAlias(Alias, m_rowDir->path());
    }

    std::unique_ptr<TVeskSecure> component() const
    {
        auto component = std::make_unique<TVeskSecure>();
        component->SetAlias(Alias);
        component->SetPassword(m_template->password());
        component->SetOptions({});
        return component;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_template.emplace(QStringLiteral("TEMPLATE"));
        m_template->setSettings(true, true);
        const int direct = m_template->addAccess(QStringLiteral("Direct"));
        const int inGroup = m_template->addAccess(QStringLiteral("In a group"));
        const int group = m_template->addGroup(QStringLiteral("Group"));
        m_template->addMember(group, inGroup);
        m_template->addUser(QStringLiteral("Tester"), QStringLiteral("pw"));
        const int holder = m_template->addUser(QStringLiteral("Holder"), QStringLiteral("pw"));
        m_template->grant(holder, direct, security::RightConstant);
        m_template->grant(holder, group, security::RightGroup);
        QCOMPARE(direct, 1);
        QCOMPARE(inGroup, 2);
        constexpr int Others = 150;
        appendRows(QStringLiteral("USERS"), Others, [](int i) {
            return QVariantMap{{QStringLiteral("User_Name"), QStringLiteral("Other %1").arg(i)},
                               {QStringLiteral("User_Password"), QStringLiteral("pw")},
                               {QStringLiteral("User_Enabled"), true}};
        });
        appendRows(QStringLiteral("USERACC"), Others, [&](int i) {
            return QVariantMap{{QStringLiteral("User_ID"), holder + 1 + i},
                               {QStringLiteral("Access_ID"), 3 + i},
                               {QStringLiteral("Type"), security::RightConstant}};
        });
        appendRows(QStringLiteral("GRPCOLL"), Others, [&](int i) {
            return QVariantMap{{QStringLiteral("Group_ID"), group + 1 + i},
                               {QStringLiteral("Access_ID"), 3}};
        });
        appendRows(QStringLiteral("LOG"), Others, [&](int i) {
            return QVariantMap{{QStringLiteral("Access_Date"), QDateTime::currentDateTime()},
                               {QStringLiteral("User_ID"), holder + 1 + i}};
        });
        dbe::Session::instance().closeDatabases();
    }

    void cleanup()
    {
        dbe::Session::instance().closeDatabases();
        m_rowDir.reset();
    }

    void neverLetsAnybodyInThroughADamagedTable_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<Damage>("damage");
        for (const char *table : {"PROGRAM", "GRPCOLL", "USERACC", "USERS", "LOG"}) {
            for (const auto &[name, damage] : testsupport::allDamages())
                QTest::newRow(qPrintable(QStringLiteral("%1.DB, %2").arg(table, name)))
                    << QString::fromLatin1(table) << damage;
        }
    }
    void neverLetsAnybodyInThroughADamagedTable()
    {
        QFETCH(QString, table);
        QFETCH(Damage, damage);
        copyTemplate();
        const QString file = table + QStringLiteral(".DB");
        QVERIFY(testsupport::damageFile(QDir(m_rowDir->path()).filePath(file), damage));

        const std::unique_ptr<TVeskSecure> secure = component();
        const Outcome loaded = attempt([&] {
            secure->Loaded();
            return !secure->TerminationRequested();
        });
        QVERIFY2(!loaded.escaped, qPrintable(describe(loaded)));
        if (!loaded.result) {
            // Refused at activation: the host is told and ends; nobody is logged on.
            QCOMPARE(loaded.messages, QStringList{InitFailed});
            QVERIFY(!secure->GetActive());
            QVERIFY(!secure->TestAccess(1));
            return;
        }
        QVERIFY2(loaded.messages.isEmpty(), qPrintable(describe(loaded)));

        const Outcome wrong =
            attempt([&] { return secure->LogonEx(QStringLiteral("Tester"), QStringLiteral("x")); });
        QVERIFY2(!wrong.result, qPrintable(describe(wrong)));
        QVERIFY2(isClear(wrong, file), qPrintable(describe(wrong)));

        const Outcome logon = attempt(
            [&] { return secure->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")); });
        QVERIFY2(isClear(logon, file), qPrintable(describe(logon)));
        QVERIFY2(!logon.escaped, qPrintable(describe(logon)));
        if (!logon.result)
            QCOMPARE(logon.messages.size(), 1);
        if (secure->GetActive()) {
            QCOMPARE(secure->CurrentUserName(), QStringLiteral("Tester"));
            for (int accessId : {1, 2, 3}) {
                const Outcome test = attempt([&] { return secure->TestAccess(accessId); });
                QVERIFY2(!test.result, qPrintable(describe(test)));
                QVERIFY2(isClear(test, file), qPrintable(describe(test)));
            }
        }

        // The holder's own rights: granted where the tables still answer, else a clear error.
        const Outcome holder = attempt(
            [&] { return secure->LogonEx(QStringLiteral("Holder"), QStringLiteral("pw")); });
        QVERIFY2(isClear(holder, file), qPrintable(describe(holder)));
        if (holder.result) {
            const Outcome test = attempt([&] { return secure->TestAccess(3); }); // no such right
            QVERIFY2(!test.result, qPrintable(describe(test)));
            QVERIFY2(isClear(test, file), qPrintable(describe(test)));
        }
    }

    // Where a table turns out damaged only after activation, the engine's error must end the
    // operation inside the component: the call answers false and shows the engine's text.
    void keepsEngineErrorsInsideTheComponent_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("operation");
        QTest::newRow("rights damaged, access test") << "USERACC"
                                                     << "TestAccess";
        QTest::newRow("log damaged, logon") << "LOG"
                                            << "LogonEx";
    }
    void keepsEngineErrorsInsideTheComponent()
    {
        QFETCH(QString, table);
        QFETCH(QString, operation);
        copyTemplate();
        const std::unique_ptr<TVeskSecure> secure = component();
        secure->Loaded();
        QVERIFY(!secure->TerminationRequested());
        if (operation == QLatin1String("TestAccess"))
            QVERIFY(secure->LogonEx(QStringLiteral("Holder"), QStringLiteral("pw")));
        // Overwritten in place, header and all, so that the open connection cannot answer from
        // pages it read before.
        QVERIFY(testsupport::damageFile(QDir(m_rowDir->path()).filePath(table + ".DB"),
                                        Damage::RandomBytes));
        const Outcome outcome = attempt([&] {
            return operation == QLatin1String("TestAccess")
                       ? secure->TestAccess(1)
                       : secure->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw"));
        });
        QVERIFY2(!outcome.result, qPrintable(describe(outcome)));
        QVERIFY2(isClear(outcome, table + ".DB"), qPrintable(describe(outcome)));
        QVERIFY2(!outcome.escaped, qPrintable(describe(outcome)));
        // Shown once, in the engine's words, which LastError() keeps; nobody is left logged on.
        QCOMPARE(outcome.messages.size(), 1);
        QCOMPARE(secure->LastError(), outcome.messages.first());
        QVERIFY(secure->LastError().contains(table + ".DB", Qt::CaseInsensitive));
        if (operation == QLatin1String("LogonEx"))
            QVERIFY(!secure->GetActive());
    }
};

LOGON_TEST_MAIN(DamagedFilesTest)
#include "tst_damagedfiles.moc"
