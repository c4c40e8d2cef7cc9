#pragma once

// Helpers shared by the logon, access and password tests: components on a test database,
// reading rows back from the security tables, and running this very executable as a second
// workstation.

#include "security/logonunt.h"
#include "security/vesksec2_p.h"
#include "tests/support/modaldialog.h"

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace dbe {
class Table;
}
namespace testsupport {
class SecurityDb;
}

namespace logontest {

// A component on the database, loaded (activated) with `options`.
std::unique_ptr<TVeskSecure> activatedComponent(const testsupport::SecurityDb &db,
                                                TSecurityOptions options = {});
// A component that was created in code and never loaded.
std::unique_ptr<TVeskSecure> unloadedComponent(const testsupport::SecurityDb &db,
                                               TSecurityOptions options = {});

// Every row of a table in primary-key order, field name to value.
QList<QVariantMap> rowsOf(const QString &databaseName, const QString &table);
QVariantMap userRow(const QString &databaseName, int userId);
// Writes fields of a user's row as an administrator would.
void setUserFields(const QString &databaseName, int userId, const QVariantMap &fields);

// Another process of this executable, acting as a second workstation on the same database.
// Returns the child's standard output; fails the test on a non-zero exit.
QString runChild(const QStringList &arguments, int timeoutMs = 120000);
// The same, with the executable at `executable` (a copy placed elsewhere).
QString runChildAt(const QString &executable, const QStringList &arguments, int timeoutMs = 120000);

// Adds or removes the row of `table` whose primary key holds `values`, in key order (numbers
// where they read as one), as an administrator's window would. False when a row to remove is
// not there.
bool changeRow(dbe::Table &table, bool add, const QStringList &values);

// The child side: performs one of the tasks runChild() names. Returns the exit code.
int childMain(const QStringList &arguments);

} // namespace logontest

// main() for the test executables of this folder: `--child ...` runs a child task instead of
// the tests.
#define LOGON_TEST_MAIN(TestClass)                                                                 \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        testsupport::isolateEngineConfig();                                                        \
        if (argc > 1 && qstrcmp(argv[1], "--child") == 0)                                          \
            return logontest::childMain(app.arguments().mid(2));                                   \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
