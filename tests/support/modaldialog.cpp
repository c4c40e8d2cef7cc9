#include "tests/support/modaldialog.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

namespace testsupport {

namespace {

constexpr int PollIntervalMs = 10;

bool isUpAndModal(const QWidget *widget)
{
    return widget && widget->isVisible() && widget->isModal();
}

} // namespace

QString describeWindow(const QWidget *widget)
{
    if (!widget)
        return QStringLiteral("(no window)");
    return QStringLiteral("%1 \"%2\" ('%3')")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName(),
             widget->windowTitle());
}

DialogDriver::DialogDriver(QString expected, Shown shown, Match match, Action action, int boundMs,
                           const std::source_location &where)
    : m_expected(std::move(expected)), m_shown(shown), m_match(std::move(match)),
      m_action(std::move(action)), m_boundMs(boundMs), m_where(where),
      m_timer(std::make_unique<QTimer>())
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            m_upBefore.append(widget);
    }
    m_timer->setInterval(PollIntervalMs);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { poll(); });
    m_timer->start();
}

DialogDriver::~DialogDriver()
{
    m_timer->stop();
    verify();
}

bool DialogDriver::wasUpBefore(const QWidget *widget) const
{
    return std::any_of(m_upBefore.cbegin(), m_upBefore.cend(),
                       [widget](const QPointer<QWidget> &before) { return before == widget; });
}

void DialogDriver::fail(const QString &message) const
{
    if (m_failure.isEmpty())
        m_failure = message;
    m_state = State::Failed;
}

void DialogDriver::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    const bool fresh = isUpAndModal(modal) && !wasUpBefore(modal);
    switch (m_state) {
    case State::Done:
        m_timer->stop();
        return;
    case State::Failed:
        // Whatever comes up after a failure is closed, so the test cannot hang on it.
        if (fresh)
            closeNewDialogs();
        return;
    case State::Running:
        watchWhileRunning(fresh ? modal : nullptr);
        return;
    case State::Waiting:
        break;
    }
    if (fresh) {
        if (m_match && m_match(modal)) {
            run(modal);
        } else {
            fail(m_match ? QStringLiteral("%1 was expected, but %2 came up")
                               .arg(m_expected, describeWindow(modal))
                         : QStringLiteral("no dialog was expected, but %1 came up")
                               .arg(describeWindow(modal)));
            closeNewDialogs();
        }
        return;
    }
    if (QWidget *window = freshWindow()) {
        run(window);
        return;
    }
    if (!m_match)
        return;
    if (!m_clock.isValid())
        m_clock.start();
    else if (m_clock.elapsed() > m_boundMs)
        fail(
            QStringLiteral("%1 did not come up within %2 s").arg(m_expected).arg(m_boundMs / 1000));
}

// A matching window shown without a modal loop, for a driver that accepts one.
QWidget *DialogDriver::freshWindow() const
{
    if (m_shown != Shown::AnyWindow)
        return nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !wasUpBefore(window) && m_match(window))
            return window;
    }
    return nullptr;
}

void DialogDriver::run(QWidget *window)
{
    m_state = State::Running;
    m_ran = true;
    m_dialog = window;
    m_clock.invalidate();
    const QString seen = describeWindow(window);
    // A QCOMPARE or QVERIFY that fails inside the action returns from the action only; the
    // failure shows in the test's state.
    const bool failedBefore = QTest::currentTestFailed();
    m_action(window);
    if (!failedBefore && QTest::currentTestFailed())
        fail(QStringLiteral("the test failed while driving %1").arg(seen));
    else if (m_state == State::Running)
        m_state = State::Done;
    closeNewDialogs();
}

// While the action runs, a dialog it opens is its own business (a driver of its own handles
// it); one that stays up longer than the bound would hang the test, so it is closed.
void DialogDriver::watchWhileRunning(QWidget *modal)
{
    if (!modal || modal == m_dialog) {
        m_clock.invalidate();
        return;
    }
    if (!m_clock.isValid()) {
        m_clock.start();
    } else if (m_clock.elapsed() > m_boundMs) {
        fail(QStringLiteral("%1, opened while driving %2, was still up after %3 s")
                 .arg(describeWindow(modal), m_expected)
                 .arg(m_boundMs / 1000));
        closeNewDialogs();
    }
}

void DialogDriver::closeNewDialogs()
{
    // Innermost first: each close lets the exec() below it return in turn.
    for (int attempt = 0; attempt < 32; ++attempt) {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!isUpAndModal(modal) || wasUpBefore(modal))
            return;
        if (auto *dialog = qobject_cast<QDialog *>(modal.data()))
            dialog->reject();
        if (isUpAndModal(modal))
            modal->close();
        // A dialog that refuses to close is hidden, which ends its exec() all the same.
        if (isUpAndModal(modal))
            modal->hide();
    }
}

bool DialogDriver::verify() const
{
    QString failure = m_failure;
    if (failure.isEmpty() && m_match && !m_ran)
        failure = QStringLiteral("%1 never came up").arg(m_expected);
    if (failure.isEmpty())
        return true;
    fail(failure);
    if (!m_reported) {
        m_reported = true;
        QTest::qFail(qPrintable(failure), m_where.file_name(), int(m_where.line()));
    }
    return false;
}

NoModalDialog::NoModalDialog(const std::source_location &where)
    : DialogDriver(QStringLiteral("no dialog"), Shown::Modal, {}, {}, DefaultBoundMs, where)
{
}

} // namespace testsupport
