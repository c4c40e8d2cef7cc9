#pragma once

#include "admin/formstyle.h"
#include "tests/support/modaldialog.h"
#include "tests/support/testsupport.h"
#include "ui/application.h"

#include <QTest>

namespace adminfixture {

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
        formstyle::identifyProgram();                                                              \
        ui::Application::installFontSubstitutions();                                               \
        adminfixture::pointAtBuiltHelp();                                                          \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
