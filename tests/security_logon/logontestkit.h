#pragma once

// Helpers shared by the logon, access and password tests: driving modal dialogs, reading rows
// back from the security tables, and running this very executable as a second workstation.

#include "security/vesksec2.h"

#include <QApplication>
#include <QList>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

class QTimer;
class QWidget;

namespace testsupport {
class SecurityDb;
}

namespace logontest {

// Runs `action` once on the next modal dialog as soon as it is shown, while the driver lives.
// The action may leave the dialog open; whatever it leaves open is cancelled afterwards, so a
// test never hangs.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget *)> action);
    ~ModalDriver();
    ModalDriver(const ModalDriver &) = delete;
    ModalDriver &operator=(const ModalDriver &) = delete;

    bool ran() const { return m_ran; }

private:
    void poll();

    std::function<void(QWidget *)> m_action;
    std::unique_ptr<QTimer> m_timer;
    bool m_ran = false;
};

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
