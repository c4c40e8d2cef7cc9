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

} // namespace cli
