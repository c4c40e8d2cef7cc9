#include "ui/application.h"

#include "dbe/error.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

#include <QFont>

namespace ui {

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const dbe::Error &error) {
        showEngineError(activeWindow(), error);
    } catch (const std::exception &error) {
        qCInfo(lcUi).noquote() << "failure shown to the user:" << error.what();
        showError(activeWindow(), QString::fromLocal8Bit(error.what()));
    }
    return false;
}

void Application::installFontSubstitutions()
{
    const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    const QStringList serif{QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("Arial"), sans);
    QFont::insertSubstitutions(QStringLiteral("Times Roman"), serif);
    QFont::insertSubstitutions(QStringLiteral("New Times Roman"), serif);
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), serif);
}

} // namespace ui
