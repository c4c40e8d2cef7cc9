#pragma once

#include <QApplication>

namespace ui {

// The desktop's application object. Qt does not let exceptions cross the event loop, so an
// engine failure that escapes an event handler is caught here and its text shown in an error
// box; the program then goes on running, as after any refused command.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Maps the font families the windows ask for ("MS Sans Serif", "Arial", ...) to the
    // metric-compatible free fonts, so layouts come out the same on every machine.
    static void installFontSubstitutions();
};

} // namespace ui
