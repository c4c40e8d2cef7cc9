#include "admin/admnunt.h"
#include "admin/formstyle.h"
#include "dbe/safefilewriter.h"
#include "dbe/session.h"
#include "intl/timezone.h"
#include "ui/application.h"
#include "ui/messages.h"

#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

namespace {

struct Options {
    QString alias;
    QString screenshotFile;
};

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Security Administration Desktop"));
    parser.addHelpOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Write a PNG picture of the main window to <file> once it is shown, then "
                       "exit."),
        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.addPositionalArgument(
        QStringLiteral("alias"),
        QStringLiteral("The security database to open at start. Its master password is taken "
                       "from VESK_MASTER_PASSWORD when set, else asked for."),
        QStringLiteral("[alias]"));
    parser.process(app);
    return {parser.positionalArguments().value(0), parser.value(screenshot)};
}

// Nobody is there to answer a dialog while a picture is taken: messages go to the error
// output instead, and a password that was not given is not asked for.
void runUnattended()
{
    ui::setMessageHandler([](const ui::MessageRequest &request) {
        std::fprintf(stderr, "secadmin: %s\n", qPrintable(request.text));
        return ui::MessageReply{true, request.value};
    });
    dbe::Session::instance().setPasswordPrompt({});
}

} // namespace

int main(int argc, char **argv)
{
    intl::readLocalTimeZoneOnce();
    ui::Application app(argc, argv);
    formstyle::identifyProgram();
    ui::Application::installFontSubstitutions();
    const Options options = parseOptions(app);

    // Taken from the environment, never from the command line, where every user of the
    // machine could read it.
    const QString masterPassword = qEnvironmentVariable("VESK_MASTER_PASSWORD");
    if (!masterPassword.isEmpty())
        dbe::Session::instance().addPassword(masterPassword);

    TFormAdmin window;
    if (!options.screenshotFile.isEmpty())
        runUnattended();
    window.show();
    if (!options.alias.isEmpty())
        window.OpenSecurity(options.alias);

    if (!options.screenshotFile.isEmpty()) {
        QTimer::singleShot(200, &window, [&window, &options] {
            dbe::SafeFileWriter file(options.screenshotFile);
            const bool saved = file.open(QIODevice::WriteOnly) &&
                               window.grab().save(&file, "PNG") && file.commit();
            if (saved)
                std::printf("%s\n", qPrintable(options.screenshotFile));
            else if (file.failed())
                std::fprintf(stderr, "secadmin: %s\n", qPrintable(file.errorString()));
            else
                std::fprintf(stderr, "secadmin: cannot encode the picture for %s\n",
                             qPrintable(options.screenshotFile));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
