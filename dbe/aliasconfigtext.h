#pragma once

#include "dbe/aliasinfo.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <optional>

namespace dbe {

// The text of the engine's configuration file: one INI section per alias with its TYPE, PATH,
// DEFAULT DRIVER and, where an administrator set one, BUSY TIMEOUT (milliseconds); a server
// alias has CONNECTION and SCHEMA instead of PATH.
//
// The file belongs to the administrator as much as to the engine, so an edit changes only the
// lines of the alias it concerns: comments, blank lines, keys the engine does not know and bytes
// that are not UTF-8 come back out exactly as they went in. Parsing, lookup and every edit take
// time linear in the size of the file, whatever the number of aliases.
class AliasConfigText
{
public:
    static AliasConfigText parse(const QByteArray &text);
    QByteArray toBytes() const;

    // One entry per alias name (compared case-blind), in the order of first appearance; when a
    // name heads several sections the last one counts. Sections whose header is no valid alias
    // name are kept in the text but are no alias.
    QList<AliasInfo> aliases() const;
    std::optional<AliasInfo> find(const QString &name) const;

    // Makes the alias's keys say what `alias` says, in every section of its name, or appends a
    // section for it. The name and the values must pass aliasNameProblem()/configValueProblem().
    void setAlias(const AliasInfo &alias);
    // Drops every section of the name, with the lines that follow its header up to the next one.
    void removeAlias(const QString &name);

private:
    struct Section {
        QByteArray header;
        QList<QByteArray> body;
        QString name; // as the header gives it; empty for the text before the first header
        bool valid = false;
        bool removed = false;
    };

    static std::optional<QString> headerName(const QByteArray &line);
    static AliasInfo interpret(const Section &section);
    static void setKey(Section &section, const QString &key, const std::optional<QString> &value);

    QList<Section> m_sections;           // m_sections[0] is the text before the first header
    QHash<QString, QList<int>> m_byName; // upper-cased name -> sections of that name
    QList<QString> m_order;              // upper-cased names in order of first appearance
};

} // namespace dbe
