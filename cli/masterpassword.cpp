#include "masterpassword.h"

#include <QStringDecoder>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

// The terminal as it was before echo was switched off; restored by the signal handler, which
// may only make async-signal-safe calls.
struct termios savedTerminal;
volatile sig_atomic_t echoOff = 0;
struct sigaction previousInt;
struct sigaction previousTerm;

void restoreAndReraise(int signal)
{
    if (echoOff)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

class EchoOff
{
public:
    EchoOff()
    {
        if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = restoreAndReraise;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previousInt);
        ::sigaction(SIGTERM, &action, &previousTerm);
        struct termios quiet = savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        echoOff = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        m_active = true;
    }
    ~EchoOff()
    {
        if (!m_active)
            return;
        if (echoOff)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        echoOff = 0;
        ::sigaction(SIGINT, &previousInt, nullptr);
        ::sigaction(SIGTERM, &previousTerm, nullptr);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    bool m_active = false;
};

std::optional<QByteArray> readLine()
{
    QByteArray line;
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return line.isEmpty() ? std::nullopt : std::optional<QByteArray>(line);
        if (c == '\n')
            break;
        line.append(c);
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

std::optional<QString> decodeStrictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool standardInputIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<QByteArray> readSecretLine(const QString &prompt)
{
    if (!standardInputIsTerminal())
        return readLine();
    const EchoOff quiet;
    const QByteArray shown = prompt.toUtf8();
    std::fwrite(shown.constData(), 1, size_t(shown.size()), stderr);
    std::fflush(stderr);
    return readLine();
}

QString decodedPassword(const QByteArray &bytes, const QString &what)
{
    const std::optional<QString> text = decodeStrictUtf8(bytes);
    if (!text)
        throw CommandFailure{what + QStringLiteral(" is not valid UTF-8 text; such a password is "
                                                   "refused, as bytes that are no text would all "
                                                   "give the same key.")};
    return *text;
}

namespace {

const char *const PasswordEnvironment = "VESK_MASTER_PASSWORD";

QString typedPassword(const QString &prompt)
{
    const std::optional<QByteArray> line = readSecretLine(prompt);
    if (!line)
        throw CommandFailure{QStringLiteral("no master password was given on standard input.")};
    return decodedPassword(*line, QStringLiteral("the master password typed"));
}

} // namespace

QString masterPassword(const PasswordOptions &options, const QString &prompt, Confirm confirm)
{
    if (options.given && options.fromStandardInput)
        throw CommandFailure{QStringLiteral("give either --password or --password-stdin, not both.")};
    // The arguments were checked for UTF-8 before parsing.
    if (options.given)
        return *options.given;
    if (options.fromStandardInput)
        return typedPassword(prompt);
    if (qEnvironmentVariableIsSet(PasswordEnvironment))
        return decodedPassword(qgetenv(PasswordEnvironment),
                               QString::fromLatin1(PasswordEnvironment));
    if (!standardInputIsTerminal())
        throw CommandFailure{QStringLiteral("a master password is required: run on a terminal to "
                                            "be asked for it, give --password-stdin to read it "
                                            "from standard input, or set %1.")
                                 .arg(QString::fromLatin1(PasswordEnvironment))};
    const QString password = typedPassword(prompt);
    if (confirm == Confirm::Twice &&
        typedPassword(QStringLiteral("Retype master password: ")) != password)
        throw CommandFailure{QStringLiteral("the two master passwords typed differ.")};
    return password;
}

} // namespace cli
