// vesksec: the security database from the command line, for administrators and scripts that
// need no window.
//
//   vesksec create --dir DIR --alias NAME --password PW
//   vesksec demo   --dir DIR --alias NAME --password PW
//   vesksec generate --alias NAME (--pascal FILE | --cpp FILE) [--password PW]

#include "security/core/constantsource.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "security/core/createtables.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString &message)
{
    err() << "vesksec: " << message << Qt::endl;
    return 1;
}

QString masterPassword(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    if (parser.isSet(option))
        return parser.value(option);
    return qEnvironmentVariable("VESK_MASTER_PASSWORD");
}

// Registers the alias for the directory (persistently) unless it exists already; an existing
// alias must point at the same directory, so a typing error cannot wipe another database.
void ensureAlias(const QString &alias, const QString &dir)
{
    dbe::Session &session = dbe::Session::instance();
    const QString wanted = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    if (session.hasAlias(alias)) {
        const QString existing = session.directoryOf(alias);
        if (QFileInfo(existing).canonicalFilePath() != QFileInfo(wanted).canonicalFilePath())
            throw dbe::Error(QStringLiteral("The alias %1 already points at %2.").arg(alias, existing),
                             dbe::Error::DuplicateAlias);
        return;
    }
    session.addStandardAlias(alias, wanted);
    session.saveConfig();
}

int createDatabase(const QCommandLineParser &parser, const QCommandLineOption &dirOption,
                   const QCommandLineOption &aliasOption, const QCommandLineOption &passwordOption,
                   bool withDemo)
{
    const QString dir = parser.value(dirOption);
    const QString alias = parser.value(aliasOption);
    const QString password = masterPassword(parser, passwordOption);
    if (dir.isEmpty() || alias.isEmpty())
        return fail(QStringLiteral("--dir and --alias are required."));
    if (password.isEmpty())
        return fail(QStringLiteral("a master password is required (--password or "
                                   "VESK_MASTER_PASSWORD)."));
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create the directory %1.").arg(dir));

    ensureAlias(alias, dir);
    QString failure;
    if (!security::createSecurityTables(alias, password,
                                        [&](const QString &message) { failure = message; }))
        return fail(failure);
    if (withDemo)
        security::fillDemoData(alias);
    out() << (withDemo ? "Demo security database" : "Security database") << " created in "
          << dbe::Session::instance().directoryOf(alias) << " as alias " << alias << Qt::endl;
    return 0;
}

// Writes the access-constant declarations of the database, as the desktop's Generate command
// does, so that a host's build can regenerate its constants from the security database.
int generateConstants(const QCommandLineParser &parser, const QCommandLineOption &aliasOption,
                      const QCommandLineOption &passwordOption,
                      const QCommandLineOption &pascalOption, const QCommandLineOption &cppOption)
{
    const QString alias = parser.value(aliasOption);
    if (alias.isEmpty())
        return fail(QStringLiteral("--alias is required."));
    if (parser.isSet(pascalOption) == parser.isSet(cppOption))
        return fail(QStringLiteral("give exactly one of --pascal FILE and --cpp FILE."));
    const QString password = masterPassword(parser, passwordOption);
    if (password.isEmpty())
        return fail(QStringLiteral("a master password is required (--password or "
                                   "VESK_MASTER_PASSWORD)."));
    dbe::Session::instance().addPassword(password);

    const QList<constsource::AccessConstant> constants = constsource::readAccessConstants(alias);
    const bool pascal = parser.isSet(pascalOption);
    const QString path = parser.value(pascal ? pascalOption : cppOption);
    const QString text = pascal ? constsource::pascalText(constants)
                                : constsource::cppHeader(constants, path);
    if (!constsource::writeTextFile(path, text))
        return fail(QStringLiteral("cannot write %1.").arg(path));
    out() << constants.size() << " access constants written to " << path << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates security databases.\n\n"
        "Commands:\n"
        "  create   create the empty security tables and register the alias\n"
        "  demo     the same, then fill in a small demonstration database\n"
        "  generate write the access constants as a Pascal include file or C++ header"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("create, demo or generate"));
    const QCommandLineOption dirOption(QStringLiteral("dir"),
                                       QStringLiteral("Directory of the table files."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption aliasOption(QStringLiteral("alias"),
                                         QStringLiteral("Database alias."), QStringLiteral("NAME"));
    const QCommandLineOption passwordOption(
        QStringLiteral("password"),
        QStringLiteral("Master password (else VESK_MASTER_PASSWORD)."), QStringLiteral("PW"));
    const QCommandLineOption pascalOption(
        QStringLiteral("pascal"), QStringLiteral("generate: Pascal include file to write."),
        QStringLiteral("FILE"));
    const QCommandLineOption cppOption(
        QStringLiteral("cpp"), QStringLiteral("generate: C++ header file to write."),
        QStringLiteral("FILE"));
    parser.addOptions({dirOption, aliasOption, passwordOption, pascalOption, cppOption});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return fail(QStringLiteral("no command given; see --help."));
    const QString command = args.first();
    try {
        if (command == QLatin1String("create"))
            return createDatabase(parser, dirOption, aliasOption, passwordOption, false);
        if (command == QLatin1String("demo"))
            return createDatabase(parser, dirOption, aliasOption, passwordOption, true);
        if (command == QLatin1String("generate"))
            return generateConstants(parser, aliasOption, passwordOption, pascalOption,
                                     cppOption);
    } catch (const dbe::Error &error) {
        return fail(error.text());
    }
    return fail(QStringLiteral("unknown command '%1'; see --help.").arg(command));
}
