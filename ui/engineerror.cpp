#include "ui/engineerror.h"

#include "ui/messages.h"

namespace ui {

Q_LOGGING_CATEGORY(lcUi, "vesk.ui", QtWarningMsg)

void showEngineError(QWidget *parent, const dbe::Error &error)
{
    qCInfo(lcUi).noquote() << "engine failure shown to the user:" << error.text();
    showError(parent, error.text());
}

} // namespace ui
