#include "commandkit.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "masterpassword.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace cli {

void DatabaseOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({alias, password, passwordStdin});
}

QString DatabaseOptions::openDatabase(const QCommandLineParser &parser) const
{
    const QString name = parser.value(alias);
    if (name.isEmpty())
        wrongUsage(QStringLiteral("--alias is required."));
    dbe::checkAliasName(name);
    PasswordOptions from;
    if (parser.isSet(password))
        from.given = parser.value(password);
    from.fromStandardInput = parser.isSet(passwordStdin);
    const QString given =
        masterPassword(from, QStringLiteral("Master password for %1: ").arg(name), Confirm::Once);
    if (given.isEmpty())
        throw CommandFailure{QStringLiteral("the master password cannot be empty.")};
    dbe::Session::instance().addPassword(given);
    return name;
}

int runCommand(const QString &name, const std::function<int()> &command)
{
    const auto fail = [&name](const QString &text, int status) {
        QTextStream(stderr) << "vesksec " << name << ": " << text << Qt::endl;
        return status;
    };
    try {
        return command();
    } catch (const CommandFailure &failure) {
        return fail(failure.text, failure.status);
    } catch (const dbe::Error &error) {
        return fail(error.text(), Refused);
    }
}

void parseArguments(QCommandLineParser &parser)
{
    parseArguments(parser, QCoreApplication::arguments());
}

void parseArguments(QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.parse(arguments))
        wrongUsage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(Done);
}

void wrongUsage(const QString &text)
{
    throw CommandFailure{text, WrongUsage};
}

QDate dayOption(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (!parser.isSet(option))
        return {};
    const QDate day = QDate::fromString(parser.value(option), Qt::ISODate);
    if (!day.isValid())
        wrongUsage(QStringLiteral("'%1' is not a date of the form YYYY-MM-DD.")
                       .arg(parser.value(option)));
    return day;
}

} // namespace cli
