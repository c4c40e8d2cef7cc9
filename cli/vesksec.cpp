// vesksec: the security database from the command line, for administrators and scripts that
// need no window.
//
//   vesksec create (--dir DIR | --server CONNINFO --schema NAME) --alias NAME
//                  [--password PW | --password-stdin] [--replace]
//   vesksec demo   (the same options as create)
//   vesksec generate --alias NAME (--pascal FILE | --cpp FILE) [--password PW | --password-stdin]
//   vesksec import --alias NAME --dir DIR [--system] [--password PW | --password-stdin]
//   vesksec report --alias NAME --type TYPE ... (see reportcommand.h)
//   vesksec user|constant|group|grant|revoke|rights|who-can ... (see admincommands.h)
//   vesksec log (export | purge) --alias NAME ... (see logcommand.h)
//   vesksec copy, backup, restore (see transfercommands.h)

#include "admincommands.h"
#include "auditcommand.h"
#include "commandkit.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/storage.h"
#include "import/oldimport.h"
#include "intl/timezone.h"
#include "logcommand.h"
#include "masterpassword.h"
#include "policycommand.h"
#include "reportcommand.h"
#include "rules/audittrail.h"
#include "rules/constantsource.h"
#include "rules/createdatabase.h"
#include "transfercommands.h"
#include "userunlockcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <csignal>
#include <signal.h>

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

// The options of every command, and the parser that read them.
struct CommandLine {
    QCommandLineParser parser;
    const QCommandLineOption dir{
        QStringLiteral("dir"),
        QStringLiteral("create, demo: directory of the table files; import: of the old files."),
        QStringLiteral("DIR")};
    const QCommandLineOption server{
        QStringLiteral("server"),
        QStringLiteral("create, demo: the PostgreSQL server, as a libpq connection string "
                       "without password (\"host=db.example port=5432 dbname=sec user=admin\"); "
                       "the master password is the password of its role."),
        QStringLiteral("CONNINFO")};
    const QCommandLineOption schema{
        QStringLiteral("schema"),
        QStringLiteral("create, demo: with --server, the schema that holds the tables."),
        QStringLiteral("NAME")};
    const cli::DatabaseOptions database;
    const QCommandLineOption replace{
        QStringLiteral("replace"),
        QStringLiteral("create, demo: replace existing security tables of the directory with "
                       "empty ones (their data is lost).")};
    const QCommandLineOption pascal{QStringLiteral("pascal"),
                                    QStringLiteral("generate: Pascal include file to write."),
                                    QStringLiteral("FILE")};
    const QCommandLineOption cpp{QStringLiteral("cpp"),
                                 QStringLiteral("generate: C++ header file to write."),
                                 QStringLiteral("FILE")};
    const QCommandLineOption system{
        QStringLiteral("system"),
        QStringLiteral("import: also import the program description and logging settings.")};

    CommandLine()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Creates, copies, backs up and restores security databases.\n\n"
            "Commands:\n"
            "  create   create the empty security tables and register the alias\n"
            "  demo     the same, then fill in a small demonstration database\n"
            "  generate write the access constants as a Pascal include file or C++ header\n"
            "  import   convert the previous version's files WOBSEC1-4.DBF in --dir into the\n"
            "           database of --alias, all or nothing\n"
            "  report   write a security report to PDF, PNG files or a printer (report --help)\n"
            "  user     list, add, change, delete users and set their passwords (user --help)\n"
            "  constant list, add or delete access constants (constant --help)\n"
            "  group    list, add or delete groups (group --help)\n"
            "  grant, revoke\n"
            "           give or take a constant or group to a user, a constant to a group\n"
            "  rights   every constant a user holds, and through what (rights --help)\n"
            "  who-can  every enabled user who holds a constant, and how\n"
            "  log      export the activity log as CSV, or purge its old entries (log --help)\n"
            "  policy   set or print the logon policy: lockout, auditing of failed logons\n"
            "  user unlock  unlock a user locked out by wrong passwords\n"
            "  audit    verify or list the audit trail (audit verify, audit list)\n"
            "  copy     copy a database whole into another directory or schema (copy --help)\n"
            "  backup   write a database's tables into one sealed file (backup --help)\n"
            "  restore  make a database from a backup file (restore --help)\n\n"
            "Every change goes through the rules of the setup editor; --json gives the lists\n"
            "as JSON. Exit status: 0 done, 1 refused (the reason is printed), 2 wrong usage.\n\n"
            "The master password is taken from --password, else from standard input with\n"
            "--password-stdin, else from the environment variable VESK_MASTER_PASSWORD, else it\n"
            "is asked for on the terminal without echo. --password is visible to every user of\n"
            "the machine in the process list.\n"
            "create and demo refuse a directory or schema that holds security tables already,\n"
            "unless --replace is given."));
        parser.addHelpOption();
        parser.addPositionalArgument(QStringLiteral("command"),
                                     QStringLiteral("one of the commands above"));
        parser.addOptions({dir, server, schema, replace, pascal, cpp, system});
        database.addTo(parser);
    }
    bool isSet(const QCommandLineOption &option) const { return parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return parser.value(option); }
};

// The master password as every command of the tool takes it.
QString masterPassword(const CommandLine &line, cli::Confirm confirm)
{
    cli::PasswordOptions options;
    if (line.isSet(line.database.password))
        options.given = line.value(line.database.password);
    options.fromStandardInput = line.isSet(line.database.passwordStdin);
    return cli::masterPassword(options, QStringLiteral("Master password: "), confirm);
}

// Arguments reach Qt as text; bytes that are not UTF-8 would silently become U+FFFD there.
void refuseArgumentsThatAreNoText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (cli::decodeStrictUtf8(argument))
            continue;
        const bool password = argument.startsWith("--password=") ||
                              (i > 1 && QByteArray(argv[i - 1]) == "--password");
        if (password)
            cli::decodedPassword(argument, QStringLiteral("the master password given"));
        throw cli::CommandFailure{QStringLiteral("argument %1 is not valid UTF-8 text.").arg(i)};
    }
}

int createDatabase(const CommandLine &line, bool withDemo)
{
    const bool onServer = line.isSet(line.server);
    const QString dir = line.value(line.dir);
    const QString alias = line.value(line.database.alias);
    if (onServer == line.isSet(line.dir))
        return fail(QStringLiteral("give exactly one of --dir DIR and --server CONNINFO."));
    if (onServer != line.isSet(line.schema))
        return fail(QStringLiteral("--schema NAME goes with --server, and is required there."));
    if ((!onServer && dir.isEmpty()) || alias.isEmpty())
        return fail(QStringLiteral("--dir (or --server and --schema) and --alias are required."));
    dbe::checkAliasName(alias);
    const QString password = masterPassword(line, cli::Confirm::Twice);
    if (password.isEmpty())
        return fail(QStringLiteral("the master password cannot be empty."));

    // Checked where the tables would be written, before anything is registered or replaced.
    const bool replace = line.isSet(line.replace);
    security::DatabasePlace place{dir, line.value(line.server), line.value(line.schema)};
    security::DatabaseCreation creation(alias, place, password);
    const QStringList &existing = creation.existingTables();
    if (!existing.isEmpty() && !replace)
        return fail(QStringLiteral("security tables exist in %1 already (%2). Remove them, "
                                   "choose another %3, or give --replace to re-create "
                                   "them empty.")
                        .arg(creation.placeText(), existing.join(QStringLiteral(", ")),
                             onServer ? QStringLiteral("schema") : QStringLiteral("directory")));
    creation.create(replace ? security::ExistingTables::Replace : security::ExistingTables::Refuse);
    if (withDemo)
        security::fillDemoData(alias);
    out() << (withDemo ? "Demo security database" : "Security database") << " created in "
          << creation.placeText() << " as alias " << alias << Qt::endl;
    return 0;
}

// Writes the access-constant declarations of the database, as the desktop's Generate command
// does, so that a host's build can regenerate its constants from the security database.
int generateConstants(const CommandLine &line)
{
    const QString alias = line.value(line.database.alias);
    if (alias.isEmpty())
        return fail(QStringLiteral("--alias is required."));
    dbe::checkAliasName(alias);
    if (line.isSet(line.pascal) == line.isSet(line.cpp))
        return fail(QStringLiteral("give exactly one of --pascal FILE and --cpp FILE."));
    const QString password = masterPassword(line, cli::Confirm::Once);
    if (password.isEmpty())
        return fail(QStringLiteral("the master password cannot be empty."));
    dbe::Session::instance().addPassword(password);

    const QList<constsource::AccessConstant> constants = constsource::readAccessConstants(alias);
    const bool pascal = line.isSet(line.pascal);
    const QString path = line.value(pascal ? line.pascal : line.cpp);
    const QString text =
        pascal ? constsource::pascalText(constants) : constsource::cppHeader(constants, path);
    constsource::writeTextFile(path, text);
    out() << constants.size() << " access constants written to " << path << Qt::endl;
    return 0;
}

volatile std::sig_atomic_t interrupted = 0;

void stopImport(int)
{
    interrupted = 1;
    // Should the import be held up where it cannot look at the flag, the next interrupt ends
    // the program as it would any other.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
}

// Without SA_RESTART, a system call that waits returns when the interrupt comes instead of
// going on waiting.
void stopImportOnInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = stopImport;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// Converts the previous version's files in DIR into the security database, as the desktop's
// Import dialog does, printing the same progress lines. Sites that migrate many installations
// script it. An interrupt (Ctrl+C) stops after the current row and undoes the import; a second
// one ends the program at once.
int importOldFiles(const CommandLine &line)
{
    const QString alias = line.value(line.database.alias);
    const QString dir = line.value(line.dir);
    if (alias.isEmpty() || dir.isEmpty())
        return fail(QStringLiteral("--alias and --dir are required."));
    dbe::checkAliasName(alias);
    if (!QFileInfo(dir).isDir())
        return fail(QStringLiteral("%1 is not a directory.").arg(dir));
    const QString password = masterPassword(line, cli::Confirm::Once);
    if (password.isEmpty())
        return fail(QStringLiteral("the master password cannot be empty."));
    dbe::Session::instance().addPassword(password);

    stopImportOnInterrupt();
    oldimport::Result result = oldimport::Result::Cancelled;
    try {
        result = oldimport::run(
            {QFileInfo(dir).absoluteFilePath(), alias, line.isSet(line.system)},
            {[](const QString &text) { out() << text << '\n'; }, [] { return interrupted == 0; }});
    } catch (const dbe::Error &error) {
        out().flush();
        return fail(error.text() + QStringLiteral("\nNothing was imported."));
    }
    out().flush();
    if (result == oldimport::Result::Cancelled) {
        fail(QStringLiteral("the import was interrupted; nothing was imported."));
        return 130;
    }
    out() << "Conversion was Successful!" << Qt::endl;
    return 0;
}

// The commands that read options of their own, and set up their own application object
// (reports paint pages), by their first word.
struct OwnCommand {
    const char *name;
    int (*run)(int argc, char **argv);
};
const OwnCommand OwnCommands[] = {
    {"report", cli::runReportCommand},     {"policy", cli::runPolicyCommand},
    {"audit", cli::runAuditCommand},       {"user", cli::runUserCommand},
    {"constant", cli::runConstantCommand}, {"group", cli::runGroupCommand},
    {"grant", cli::runGrantCommand},       {"revoke", cli::runGrantCommand},
    {"rights", cli::runRightsCommand},     {"who-can", cli::runRightsCommand},
    {"log", cli::runLogCommand},           {"copy", cli::runCopyCommand},
    {"backup", cli::runBackupCommand},     {"restore", cli::runRestoreCommand},
};

// The command and its second word, as typed: "vesksec user add", "vesksec grant".
QString actingCommand(int argc, char *argv[])
{
    QStringList words{QStringLiteral("vesksec")};
    for (int i = 1; i < argc && i < 3 && argv[i][0] != '-'; ++i)
        words.append(QString::fromUtf8(argv[i]));
    return words.join(QLatin1Char(' '));
}

} // namespace

int main(int argc, char *argv[])
{
    intl::readLocalTimeZoneOnce();
    try {
        refuseArgumentsThatAreNoText(argc, argv);
    } catch (const cli::CommandFailure &refusal) {
        return fail(refusal.text);
    }
    // The audit trail names the command as typed as the one acting ("vesksec user add").
    security::AuditTrail::setActor(actingCommand(argc, argv));
    if (argc > 2 && qstrcmp(argv[1], "user") == 0 && qstrcmp(argv[2], "unlock") == 0)
        return cli::runUserUnlockCommand(argc, argv);
    if (argc > 1) {
        for (const OwnCommand &own : OwnCommands) {
            if (qstrcmp(argv[1], own.name) == 0)
                return own.run(argc, argv);
        }
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    CommandLine line;
    line.parser.process(app);

    const QStringList args = line.parser.positionalArguments();
    if (args.isEmpty())
        return fail(QStringLiteral("no command given; see --help."));
    const QString command = args.first();
    try {
        if (command == QLatin1String("create"))
            return createDatabase(line, false);
        if (command == QLatin1String("demo"))
            return createDatabase(line, true);
        if (command == QLatin1String("generate"))
            return generateConstants(line);
        if (command == QLatin1String("import"))
            return importOldFiles(line);
    } catch (const cli::CommandFailure &refusal) {
        return fail(refusal.text);
    } catch (const dbe::Error &error) {
        return fail(error.text());
    }
    return fail(QStringLiteral("unknown command '%1'; see --help.").arg(command));
}
