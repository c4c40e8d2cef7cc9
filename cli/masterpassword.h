#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace cli {

// Text from outside the program (arguments, environment, what was typed) as the program may
// use it: bytes that are not UTF-8 would all become U+FFFD, so that different passwords gave the
// same key. Such input is refused instead.
std::optional<QString> decodeStrictUtf8(const QByteArray &bytes);

// Reads one line from standard input. On a terminal the prompt is shown on standard error and
// what is typed is not echoed (the terminal is restored even when the user breaks off with
// Ctrl+C); from a pipe the line is read as it comes, without prompt. Nothing at end of input.
std::optional<QByteArray> readSecretLine(const QString &prompt);

bool standardInputIsTerminal();

// The exit statuses of every command of the tool.
enum ExitStatus : int {
    Done = 0,
    Refused = 1,    // a rule, the engine or the input refused the work; the reason is printed
    WrongUsage = 2, // the command line itself is wrong: a missing or contradictory option
};

// The one way a command of the tool fails: thrown with the reason, which the tool prints
// before it ends with `status`. Engine failures arrive as dbe::Error instead, with status 1.
struct CommandFailure {
    QString text;
    int status = Refused;
};

// Text from outside decoded strictly; `what` names it in the refusal ("the master password
// given", "VESK_MASTER_PASSWORD"). Throws CommandFailure.
QString decodedPassword(const QByteArray &bytes, const QString &what);

// Where a command was told to take the master password from.
struct PasswordOptions {
    std::optional<QString> given; // --password, visible to every user in the process list
    bool fromStandardInput = false; // --password-stdin
};

enum class Confirm { Once, Twice };

// The master password, the same way for every command: --password, else one line of standard
// input with --password-stdin, else VESK_MASTER_PASSWORD, else typed at `prompt` on the terminal
// without echo (twice, to be compared, with Confirm::Twice). Without a terminal and without any
// of these the command is refused at once instead of waiting for input nobody sends. Throws
// CommandFailure.
QString masterPassword(const PasswordOptions &options, const QString &prompt, Confirm confirm);

} // namespace cli
