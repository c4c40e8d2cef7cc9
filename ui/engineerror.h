#pragma once

#include "dbe/error.h"

#include <QLoggingCategory>

class QWidget;

namespace ui {

// Engine failures that reached the user, in the engine's words; kept quiet unless asked for
// with QT_LOGGING_RULES="vesk.ui=true" (or "vesk.*=true").
Q_DECLARE_LOGGING_CATEGORY(lcUi)

// Shows an engine failure in an error box with the engine's own text, as the program's general
// exception report does, and leaves the text in the log.
void showEngineError(QWidget *parent, const dbe::Error &error);

// Runs one step of a window's handler. An engine failure cannot travel through Qt's event loop,
// so it ends the step here and is shown. Answers whether the step ran to its end.
template <typename Step> bool runGuarded(QWidget *parent, Step &&step)
{
    try {
        step();
        return true;
    } catch (const dbe::Error &error) {
        showEngineError(parent, error);
        return false;
    }
}

} // namespace ui
