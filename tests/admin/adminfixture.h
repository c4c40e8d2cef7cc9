#pragma once

#include "tests/support/testsupport.h"
#include "ui/application.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

namespace adminfixture {

// Runs `action` on the next modal dialog of type Dialog once its exec() has shown it. Gives up
// after five seconds, so a dialog that never comes makes the test fail rather than hang.
template <typename Dialog> void whenModal(std::function<void(Dialog *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, action] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
        } else if (++*ticks > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// The help book as the build tree holds it.
void pointAtBuiltHelp();

} // namespace adminfixture

// A test executable of the desktop: the desktop's own application object, an engine
// configuration of its own, the desktop's fonts.
#define VESK_ADMIN_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        testsupport::isolateEngineConfig();                                                        \
        ui::Application app(argc, argv);                                                           \
        ui::Application::installFontSubstitutions();                                               \
        adminfixture::pointAtBuiltHelp();                                                          \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
