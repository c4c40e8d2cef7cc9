#include "adminkit.h"

#include "rules/effectiverights.h"
#include "rules/securityrules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <algorithm>

namespace cli {

AdminLine::AdminLine(const QString &usage, const QList<QCommandLineOption> &options)
{
    m_parser.setApplicationDescription(usage);
    m_parser.addHelpOption();
    m_database.addTo(m_parser);
    m_parser.addOption(m_json);
    m_parser.addOptions(options);
}

void AdminLine::parse(const QStringList &arguments)
{
    parseArguments(m_parser, arguments);
}

QStringList AdminLine::words() const
{
    return m_parser.positionalArguments().mid(1);
}

namespace {

QString idList(const std::vector<int> &ids)
{
    QStringList texts;
    for (const int id : ids)
        texts << QString::number(id);
    return texts.join(QStringLiteral(", "));
}

} // namespace

int userIdNamed(security::EffectiveRights &rights, const QString &name)
{
    const std::vector<int> ids = rights.usersNamed(name);
    if (ids.empty())
        throw CommandFailure{QStringLiteral("there is no user named %1.").arg(name)};
    if (ids.size() > 1)
        throw CommandFailure{QStringLiteral("%1 users are named %2 (ids %3); rename all but one "
                                            "in the setup editor first.")
                                 .arg(ids.size())
                                 .arg(name, idList(ids))};
    return ids.front();
}

security::NamedEntry constantNamed(security::EffectiveRights &rights, const QString &nameOrId)
{
    if (const std::optional<security::NamedEntry> found = rights.constant(nameOrId))
        return *found;
    throw CommandFailure{QStringLiteral("there is no access constant %1.").arg(nameOrId)};
}

security::NamedEntry groupNamed(security::EffectiveRights &rights, const QString &name)
{
    const std::vector<security::NamedEntry> found = rights.groupsNamed(name);
    if (found.empty())
        throw CommandFailure{QStringLiteral("there is no group named %1.").arg(name)};
    if (found.size() > 1) {
        std::vector<int> ids;
        for (const security::NamedEntry &group : found)
            ids.push_back(group.id);
        throw CommandFailure{QStringLiteral("%1 groups are named %2 (ids %3); rename all but one "
                                            "in the setup editor first.")
                                 .arg(found.size())
                                 .arg(name, idList(ids))};
    }
    return found.front();
}

namespace {

QString jsonText(const QJsonValue &value)
{
    // A value is written alone by wrapping it in an array and taking the brackets off again.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

QString jsonObject(const JsonFields &fields)
{
    QStringList members;
    for (const auto &[name, value] : fields)
        members << jsonText(name) + QLatin1Char(':') + jsonText(value);
    return QLatin1Char('{') + members.join(QLatin1Char(',')) + QLatin1Char('}');
}

QString jsonArray(const QStringList &items)
{
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

QString heldByJson(const std::vector<security::HeldBy> &held)
{
    QStringList items;
    for (const security::HeldBy &entry : held) {
        items << jsonObject({{QStringLiteral("id"), entry.id},
                             {QStringLiteral("name"), entry.name},
                             {QStringLiteral("direct"), entry.direct},
                             {QStringLiteral("groups"), QJsonArray::fromStringList(entry.groups)}});
    }
    return jsonArray(items);
}

QString textTable(const QStringList &header, const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QString &title : header)
        widths << title.size();
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    const auto line = [&widths](const QStringList &cells) {
        QString text;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            // The last column is not padded, so that no line ends in blanks.
            text += i + 1 < cells.size() ? cells[i].leftJustified(widths[i] + 2) : cells[i];
        }
        // A row whose last cells are empty ends in no blanks either.
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QString text = line(header);
    for (const QStringList &row : rows)
        text += line(row);
    return text;
}

void say(const QString &text)
{
    QTextStream(stdout) << text << Qt::flush;
}

int listNamed(const std::vector<security::NamedEntry> &entries, bool json)
{
    if (json) {
        QStringList items;
        for (const security::NamedEntry &entry : entries)
            items << jsonObject({{QStringLiteral("id"), entry.id},
                                 {QStringLiteral("name"), entry.name}});
        say(jsonArray(items) + QLatin1Char('\n'));
        return Done;
    }
    QList<QStringList> rows;
    for (const security::NamedEntry &entry : entries)
        rows << QStringList{QString::number(entry.id), entry.name};
    say(textTable({QStringLiteral("ID"), QStringLiteral("Name")}, rows));
    return Done;
}

// Throws the refusal of a name that was not written.
void requireNameWritten(const security::SecurityRules::NameChange &change, const QString &what, const QString &name)
{
    switch (change.status) {
    case security::SecurityRules::NameChange::Written:
        return;
    case security::SecurityRules::NameChange::EmptyName:
        throw CommandFailure{QStringLiteral("a %1 needs a name.").arg(what)};
    case security::SecurityRules::NameChange::Duplicate:
        throw CommandFailure{QStringLiteral("the %1 %2 exists already (id %3).")
                                 .arg(what, name)
                                 .arg(change.accessId)};
    case security::SecurityRules::NameChange::NotFound:
        throw CommandFailure{QStringLiteral("there is no %1 %2.").arg(what, name)};
    case security::SecurityRules::NameChange::IdTaken:
        throw CommandFailure{
            QStringLiteral("another access constant has the id %1.").arg(change.accessId)};
    case security::SecurityRules::NameChange::BadId:
        throw CommandFailure{QStringLiteral("an access constant's id is a number from 1 up.")};
    }
}

// The verb and, unless it is list, the one name after it.
QStringList listAddOrDelete(const AdminLine &line, const QString &nameWord)
{
    const QStringList words = line.words();
    const QString verb = words.value(0);
    if (verb == QLatin1String("list") && words.size() == 1)
        return words;
    if ((verb == QLatin1String("add") || verb == QLatin1String("delete")) && words.size() == 2)
        return words;
    wrongUsage(QStringLiteral("give list, or add or delete with one %1.").arg(nameWord));
}


} // namespace cli
