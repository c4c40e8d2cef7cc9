#pragma once

#include "commandkit.h"
#include "masterpassword.h"

#include <QCommandLineParser>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "rules/securityrules.h"

namespace security {
class EffectiveRights;
struct HeldBy;
struct NamedEntry;
} // namespace security

namespace cli {

// The command line of one administration command (user, constant, group, grant, revoke,
// rights, who-can): the database options, the command's own options and the words after the
// command itself.
class AdminLine
{
public:
    // `usage` is the help text's synopsis ("user list|add NAME|...").
    AdminLine(const QString &usage, const QList<QCommandLineOption> &options);

    // Reads the arguments; ends the program with the help on --help. A command line the parser
    // refuses throws WrongUsage.
    void parse(const QStringList &arguments);
    bool isSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return m_parser.value(option); }
    // The words after the command's name.
    QStringList words() const;
    // The database, opened as for every command; the alias is the database's name.
    QString openDatabase() const { return m_database.openDatabase(m_parser); }
    bool json() const { return m_parser.isSet(m_json); }

private:
    QCommandLineParser m_parser;
    DatabaseOptions m_database;
    QCommandLineOption m_json{QStringLiteral("json"),
                              QStringLiteral("list, rights, who-can: write JSON.")};
};

// Whom or what a name on the command line means; a name that means nothing, or several users
// or groups that share it, is refused with status 1.
int userIdNamed(security::EffectiveRights &rights, const QString &name);
security::NamedEntry constantNamed(security::EffectiveRights &rights, const QString &nameOrId);
security::NamedEntry groupNamed(security::EffectiveRights &rights, const QString &name);

// JSON written in the order of its fields, as the manual shows it.
using JsonFields = QList<QPair<QString, QJsonValue>>;
QString jsonObject(const JsonFields &fields);
// `items` are JSON texts already.
QString jsonArray(const QStringList &items);
// The holdings of `rights` or `who-can`, in JSON and as a readable table.
QString heldByJson(const std::vector<security::HeldBy> &held);
// A table with a header line, each column as wide as its widest cell.
QString textTable(const QStringList &header, const QList<QStringList> &rows);

// `constant list`, `group list`: ids and names, in JSON or as a table.
int listNamed(const std::vector<security::NamedEntry> &entries, bool json);
// Throws the refusal of a constant's or group's name that was not written; `what` names the
// kind ("access constant", "group").
void requireNameWritten(const security::SecurityRules::NameChange &change, const QString &what,
                        const QString &name);
// The words of `constant` and `group`: list, or add or delete with one name. Throws WrongUsage.
QStringList listAddOrDelete(const AdminLine &line, const QString &nameWord);

// Standard output, written at once.
void say(const QString &text);

} // namespace cli
