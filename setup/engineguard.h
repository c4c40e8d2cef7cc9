#pragma once

#include "dbe/error.h"
#include "ui/messages.h"

#include <QWidget>

// Runs one step of a window handler. An engine failure cannot travel through Qt's event loop,
// so it ends the step here and its text is shown, as the program's general exception report
// would show it. Answers whether the step ran to its end.
template <typename Step> bool runGuarded(QWidget *parent, Step &&step)
{
    try {
        step();
        return true;
    } catch (const dbe::Error &error) {
        ui::showError(parent, error.text());
        return false;
    }
}
