#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <source_location>

class QTimer;

namespace testsupport {

// Drives the one modal dialog a test expects, and makes sure the test fails instead of hanging
// whatever the dialog does.
//
// Create it before the call that shows the dialog (and so blocks in the dialog's exec()); it
// waits for the dialog, runs the test's action on it, and closes whatever the action left
// open, so that exec() returns. Then VESK_VERIFY_DIALOG(driver) reports, through the test
// framework and naming the dialog, what went wrong, and ends the test function:
//   - the dialog never came up (the call returned without it, or no dialog came within the
//     bound while an event loop ran);
//   - another dialog came up instead (it is closed);
//   - the action failed (a QCOMPARE inside the action only returns from the action: the driver
//     notices the failure, closes the dialog and reports it once exec() has returned).
// A driver that goes out of scope unverified reports the same when it is destroyed.
//
// Windows that were already up when the driver was created are left alone, so an action may
// create a driver of its own for a dialog that its dialog opens.
//
// ExpectWindow does the same for a window that is shown without a modal loop of its own (a
// progress box during printing): nothing waits for it to close, so the driver leaves it open
// for whatever the action set in motion.
class DialogDriver
{
public:
    // Long enough for a loaded machine; the common failures are reported without waiting.
    static constexpr int DefaultBoundMs = 20000;

    DialogDriver(const DialogDriver &) = delete;
    DialogDriver &operator=(const DialogDriver &) = delete;
    ~DialogDriver();

    // True when the expected dialog came up and the action ran without a failure (for a driver
    // that expects none: when none came up). Reports the failure otherwise, once; from then on
    // the driver only closes whatever dialog still comes up.
    bool verify() const;
    // Whether the action ran.
    bool ran() const { return m_ran; }
    // For a caller outside any test function (a child process of a test), which judges ran()
    // itself: nothing is reported through the test framework.
    void keepQuiet() const { m_reported = true; }

protected:
    using Match = std::function<bool(QWidget *)>;
    using Action = std::function<void(QWidget *)>;

    template <typename Widget> static Match matchOf()
    {
        return [](QWidget *widget) { return qobject_cast<Widget *>(widget) != nullptr; };
    }
    template <typename Widget> static Action actionOf(std::function<void(Widget *)> action)
    {
        return [action = std::move(action)](QWidget *widget) {
            action(static_cast<Widget *>(widget));
        };
    }

    enum class Shown {
        Modal,     // in a modal loop of its own: closed after the action
        AnyWindow, // also a window without one: left as the action leaves it
    };

    // `expected` names the dialog in messages; an empty `match` expects no dialog at all.
    DialogDriver(QString expected, Shown shown, Match match, Action action, int boundMs,
                 const std::source_location &where);

private:
    enum class State { Waiting, Running, Done, Failed };

    void poll();
    QWidget *freshWindow() const;
    void run(QWidget *window);
    void watchWhileRunning(QWidget *modal);
    void fail(const QString &message) const;
    void closeNewDialogs();
    bool wasUpBefore(const QWidget *widget) const;

    QString m_expected;
    Shown m_shown;
    Match m_match;
    Action m_action;
    int m_boundMs;
    std::source_location m_where;
    std::unique_ptr<QTimer> m_timer;
    QElapsedTimer m_clock; // how long an event loop has run without the expected dialog
    QList<QPointer<QWidget>> m_upBefore; // every window visible when the driver was created
    QPointer<QWidget> m_dialog;
    mutable State m_state = State::Waiting;
    mutable QString m_failure;
    bool m_ran = false;
    mutable bool m_reported = false;
};

// The next modal dialog must be a `Dialog`; `action` runs on it as soon as it is up.
template <typename Dialog> class [[nodiscard]] ExpectDialog : public DialogDriver
{
public:
    explicit ExpectDialog(std::function<void(Dialog *)> action, int boundMs = DefaultBoundMs,
                          const std::source_location &where = std::source_location::current())
        : DialogDriver(QString::fromLatin1(Dialog::staticMetaObject.className()), Shown::Modal,
                       matchOf<Dialog>(), actionOf<Dialog>(std::move(action)), boundMs, where)
    {
    }
};

// A `Window` must come up, modal or not; `action` runs on it as soon as it is visible.
template <typename Window> class [[nodiscard]] ExpectWindow : public DialogDriver
{
public:
    explicit ExpectWindow(std::function<void(Window *)> action, int boundMs = DefaultBoundMs,
                          const std::source_location &where = std::source_location::current())
        : DialogDriver(QString::fromLatin1(Window::staticMetaObject.className()), Shown::AnyWindow,
                       matchOf<Window>(), actionOf<Window>(std::move(action)), boundMs, where)
    {
    }
};

// No modal dialog may come up while this lives; one that does is closed and fails the test.
class [[nodiscard]] NoModalDialog : public DialogDriver
{
public:
    explicit NoModalDialog(const std::source_location &where = std::source_location::current());
};

// A description of a window for messages: class, object name and caption.
QString describeWindow(const QWidget *widget);

} // namespace testsupport

// Ends the test function when the driver's dialog did not come up or its action failed; the
// driver has reported why.
#define VESK_VERIFY_DIALOG(driver)                                                                 \
    do {                                                                                           \
        if (!(driver).verify())                                                                    \
            return;                                                                                \
    } while (false)
