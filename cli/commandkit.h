#pragma once

#include <QCommandLineOption>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

class QCommandLineParser;

namespace cli {

// The options of every command that works on an existing security database: which one, and
// where its master password comes from.
struct DatabaseOptions {
    const QCommandLineOption alias{QStringLiteral("alias"), QStringLiteral("Database alias."),
                                   QStringLiteral("NAME")};
    const QCommandLineOption password{
        QStringLiteral("password"),
        QStringLiteral("Master password. Visible to other users in the process list; prefer "
                       "the prompt, --password-stdin or VESK_MASTER_PASSWORD."),
        QStringLiteral("PW")};
    const QCommandLineOption passwordStdin{
        QStringLiteral("password-stdin"),
        QStringLiteral("Read the master password as one line from standard input.")};

    void addTo(QCommandLineParser &parser) const;
    // The alias given, checked, with its master password taken as masterPassword() takes it and
    // handed to the engine session. Throws CommandFailure: WrongUsage without --alias, Refused
    // for an empty password.
    QString openDatabase(const QCommandLineParser &parser) const;
};

// Runs one command of the tool: a CommandFailure or dbe::Error it throws is printed as
// "vesksec NAME: reason" on standard error and becomes its exit status.
int runCommand(const QString &name, const std::function<int()> &command);

// Reads the program's arguments into `parser`: a command line the parser refuses throws
// WrongUsage, and --help prints the help and ends the program with status Done.
void parseArguments(QCommandLineParser &parser);
void parseArguments(QCommandLineParser &parser, const QStringList &arguments);

// The refusal for a command line that is wrong, ended with status WrongUsage.
[[noreturn]] void wrongUsage(const QString &text);

// The day an option gives as YYYY-MM-DD, or a null date when it is not given; any other text
// is wrong usage.
QDate dayOption(const QCommandLineParser &parser, const QCommandLineOption &option);

} // namespace cli
