// Real drags between the lists of the setup editor and of the group dialog. The offscreen
// platform has no drag and drop, so this program runs itself again on a virtual X display.

#include "setup/draglistbox.h"
#include "setup/frmgroup.h"
#include "tests/setup/setuptestkit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace setuptest;

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QCursor::setPos(widget->mapToGlobal(pos));
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Presses the mouse on a line, moves it far enough to start a drag, and lets it go over the
// middle of `target`. Returns once the drag has ended.
void dragLine(QListWidget *from, const QString &line, QListWidget *target)
{
    const QList<QListWidgetItem *> items = from->findItems(line, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(line));
    const QPoint start = from->visualItemRect(items.first()).center();
    QWidget *targetArea = target->viewport();
    const QPoint end = targetArea->rect().center();
    // The drag runs its own event loop; these steps run inside it.
    QTimer::singleShot(100, targetArea, [targetArea, end] {
        sendMouse(targetArea, QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
        QTimer::singleShot(100, targetArea, [targetArea, end] {
            sendMouse(targetArea, QEvent::MouseMove, end + QPoint(2, 2), Qt::NoButton,
                      Qt::LeftButton);
            QTimer::singleShot(100, targetArea, [targetArea, end] {
                sendMouse(targetArea, QEvent::MouseButtonRelease, end + QPoint(2, 2),
                          Qt::LeftButton, Qt::NoButton);
            });
        });
    });
    QWidget *sourceArea = from->viewport();
    sendMouse(sourceArea, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(sourceArea, QEvent::MouseMove, start + QPoint(30, 0), Qt::NoButton, Qt::LeftButton);
    sendMouse(sourceArea, QEvent::MouseMove, start + QPoint(40, 0), Qt::NoButton, Qt::LeftButton);
    QTest::qWait(50);
}

} // namespace

class TestSetupDragDrop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initTestProgram(); }

    void constantDroppedOnTheRightsList_data()
    {
        QTest::addColumn<bool>("userSelected");
        QTest::newRow("user selected") << true;
        QTest::newRow("no user selected") << false;
    }

    void constantDroppedOnTheRightsList()
    {
        QFETCH(bool, userSelected);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        db.addUser(QStringLiteral("Ann"), QStringLiteral("a"));
        db.addAccess(QStringLiteral("Print"));
        auto editor = openEditor(db);
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        if (userSelected)
            pickUser(editor.get(), QStringLiteral("Ann"));
        child<QTabWidget>(editor.get(), "tnbkLists")->setCurrentIndex(1);
        auto *constants = child<QListWidget>(editor.get(), "lbConstants");
        auto *rights = child<QListWidget>(editor.get(), "lbUsrAccess");
        dragLine(constants, QStringLiteral("Print"), rights);

        QCOMPARE(lines(rights), userSelected ? QStringList({"Print"}) : QStringList());
        QCOMPARE(db.rowCount(QStringLiteral("USERACC.DB")), userSelected ? 1 : 0);
        // A drop copies: the dragged line stays where it was.
        QCOMPARE(lines(constants), QStringList({"Print"}));
    }

    void constantDroppedInAGroup()
    {
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        const int print = db.addAccess(QStringLiteral("Print"));
        db.addAccess(QStringLiteral("Delete"));
        const int group = db.addGroup(QStringLiteral("Clerks"));
        db.addMember(group, print);
        auto editor = openEditor(db);
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        selectLine(child<QListWidget>(editor.get(), "lbGroups"), QStringLiteral("Clerks"));
        QStringList afterNew, afterMember, afterOwn;
        testsupport::ExpectDialog<TFormGroup> groupDialog([&](TFormGroup *dialog) {
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            dragLine(dialog->lbComplete, QStringLiteral("Delete"), dialog->lbSelected);
            afterNew = lines(dialog->lbSelected);
            dragLine(dialog->lbComplete, QStringLiteral("Print"), dialog->lbSelected);
            afterMember = lines(dialog->lbSelected);
            dragLine(dialog->lbSelected, QStringLiteral("Print"), dialog->lbSelected);
            afterOwn = lines(dialog->lbSelected);
            dialog->accept();
        });
        editor->spbtnEditGroupClick();
        VESK_VERIFY_DIALOG(groupDialog);
        QCOMPARE(afterNew, QStringList({"Delete", "Print"}));
        QCOMPARE(afterMember, afterNew);
        QCOMPARE(afterOwn, afterNew);
        QCOMPARE(db.rowCount(QStringLiteral("GRPCOLL.DB")), 2);
    }
};

// Under the offscreen platform (as the test runner starts it) the program starts itself again
// on a virtual X display and reports what that run reports.
int main(int argc, char **argv)
{
    const bool offscreen = qgetenv("QT_QPA_PLATFORM") == "offscreen";
    if (offscreen) {
        QCoreApplication app(argc, argv);
        const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfbRun.isEmpty()) {
            // Reported to CTest as skipped, not passed: nothing was tested.
            qWarning("xvfb-run not found: real drags cannot be tested here");
            return 77;
        }
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        QStringList arguments = {QStringLiteral("-a"), QCoreApplication::applicationFilePath()};
        for (int i = 1; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        run.start(xvfbRun, arguments);
        run.waitForFinished(240000);
        return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : 1;
    }
    QApplication app(argc, argv);
    TestSetupDragDrop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_setupdragdrop.moc"
