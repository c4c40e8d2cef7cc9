#include "dbe/aliasconfigtext.h"

#include "dbe/error.h"

namespace dbe {

namespace {

const QString TypeKey = QStringLiteral("TYPE");
const QString PathKey = QStringLiteral("PATH");
const QString DriverKey = QStringLiteral("DEFAULT DRIVER");
const QString BusyTimeoutKey = QStringLiteral("BUSY TIMEOUT");
const QString ConnectionKey = QStringLiteral("CONNECTION");
const QString SchemaKey = QStringLiteral("SCHEMA");

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x85) ||
           c == QChar(QChar::LineSeparator) || c == QChar(QChar::ParagraphSeparator);
}

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// The name as a message can show it: line breaks and control characters spelled out.
QString printable(const QString &text)
{
    QString shown;
    for (QChar c : text) {
        if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else if (isControl(c) || isLineBreak(c))
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// A body line's key and value; nothing for blank lines, comments and lines without '='.
std::optional<std::pair<QString, QString>> keyValue(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line).trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char(';')) || text.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    return std::make_pair(text.left(equals).trimmed().toUpper(), text.mid(equals + 1).trimmed());
}

QByteArray keyLine(const QString &key, const QString &value)
{
    return (key + QLatin1Char('=') + value).toUtf8();
}

} // namespace

QString aliasNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("An alias name cannot be empty.");
    for (QChar c : name) {
        if (isLineBreak(c))
            return QStringLiteral("An alias name cannot contain a line break.");
    }
    for (QChar c : name) {
        if (c == QLatin1Char('[') || c == QLatin1Char(']'))
            return QStringLiteral("An alias name cannot contain '[' or ']'.");
        if (c == QLatin1Char('='))
            return QStringLiteral("An alias name cannot contain '='.");
        if (isControl(c))
            return QStringLiteral("An alias name cannot contain control characters.");
    }
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("An alias name cannot begin or end with a blank.");
    return {};
}

QString configValueProblem(const QString &value)
{
    for (QChar c : value) {
        if (isLineBreak(c))
            return QStringLiteral("it contains a line break");
        if (isControl(c))
            return QStringLiteral("it contains control characters");
    }
    if (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()))
        return QStringLiteral("it begins or ends with a blank");
    return {};
}

void checkAliasName(const QString &name)
{
    const QString problem = aliasNameProblem(name);
    if (!problem.isEmpty())
        throw Error(QStringLiteral("Invalid alias name \"%1\". %2").arg(printable(name), problem),
                    Error::InvalidName);
}

std::optional<QString> AliasConfigText::headerName(const QByteArray &line)
{
    const QString text = QString::fromUtf8(line).trimmed();
    if (text.size() < 2 || !text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']')))
        return std::nullopt;
    return text.mid(1, text.size() - 2).trimmed();
}

AliasConfigText AliasConfigText::parse(const QByteArray &text)
{
    AliasConfigText config;
    config.m_sections.append(Section{});
    // Split on '\n' only and joined back the same way, so that the text survives byte for byte
    // (a '\r' before the break stays part of its line and is ignored when the line is read).
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        const std::optional<QString> name = headerName(line);
        if (!name) {
            config.m_sections.last().body.append(line);
            continue;
        }
        Section section;
        section.header = line;
        section.name = *name;
        section.valid = aliasNameProblem(*name).isEmpty();
        config.m_sections.append(section);
        if (section.valid) {
            const QString key = name->toUpper();
            QList<int> &sections = config.m_byName[key];
            if (sections.isEmpty())
                config.m_order.append(key);
            sections.append(int(config.m_sections.size() - 1));
        }
    }
    return config;
}

QByteArray AliasConfigText::toBytes() const
{
    QList<QByteArray> lines;
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        const Section &section = m_sections[i];
        if (section.removed)
            continue;
        if (i > 0) // the text before the first header has no header line
            lines.append(section.header);
        lines.append(section.body);
    }
    return lines.join('\n');
}

AliasInfo AliasConfigText::interpret(const Section &section)
{
    AliasInfo alias;
    alias.name = section.name;
    alias.persistent = true;
    for (const QByteArray &line : section.body) {
        const auto entry = keyValue(line);
        if (!entry)
            continue;
        const auto &[key, value] = *entry;
        if (key == TypeKey) {
            alias.driver = value;
        } else if (key == PathKey) {
            alias.path = value;
        } else if (key == DriverKey) {
            alias.defaultDriver = value;
        } else if (key == ConnectionKey) {
            alias.connection = value;
        } else if (key == SchemaKey) {
            alias.schema = value;
        } else if (key == BusyTimeoutKey) {
            // A value that is no number of milliseconds leaves the engine's default in force.
            bool ok = false;
            const int ms = value.toInt(&ok);
            alias.busyTimeoutMs = ok && ms >= 0 ? ms : -1;
        }
    }
    return alias;
}

QList<AliasInfo> AliasConfigText::aliases() const
{
    QList<AliasInfo> result;
    result.reserve(m_order.size());
    for (const QString &key : m_order) {
        const QList<int> &sections = m_byName.value(key);
        for (auto it = sections.crbegin(); it != sections.crend(); ++it) {
            if (!m_sections[*it].removed) {
                result.append(interpret(m_sections[*it]));
                break;
            }
        }
    }
    return result;
}

std::optional<AliasInfo> AliasConfigText::find(const QString &name) const
{
    const QList<int> sections = m_byName.value(name.toUpper());
    for (auto it = sections.crbegin(); it != sections.crend(); ++it) {
        if (!m_sections[*it].removed)
            return interpret(m_sections[*it]);
    }
    return std::nullopt;
}

void AliasConfigText::setKey(Section &section, const QString &key,
                             const std::optional<QString> &value)
{
    qsizetype lastKeyLine = -1;
    bool written = false;
    for (qsizetype i = 0; i < section.body.size(); ++i) {
        const auto entry = keyValue(section.body[i]);
        if (!entry)
            continue;
        if (entry->first != key) {
            lastKeyLine = i;
            continue;
        }
        if (written || !value) {
            // A key given twice would leave a reader to pick one: only the new value stays.
            section.body.removeAt(i--);
            continue;
        }
        section.body[i] = keyLine(key, *value);
        written = true;
        lastKeyLine = i;
    }
    if (!written && value)
        section.body.insert(lastKeyLine + 1, keyLine(key, *value));
}

void AliasConfigText::setAlias(const AliasInfo &alias)
{
    const QString key = alias.name.toUpper();
    QList<int> &sections = m_byName[key];
    const bool named = !sections.isEmpty(); // in m_order already, though perhaps removed since
    sections.removeIf([this](int index) { return m_sections[index].removed; });
    if (sections.isEmpty()) {
        Section section;
        section.header = (QLatin1Char('[') + alias.name + QLatin1Char(']')).toUtf8();
        section.name = alias.name;
        section.valid = true;
        // A blank line after the section, so that the file ends with a line break and the next
        // alias appended stands apart.
        section.body.append(QByteArray(""));
        Section &previous = m_sections.last();
        if (m_sections.size() == 1 && previous.body.size() == 1 && previous.body.first().isEmpty())
            previous.body.clear(); // an empty file: the new section is its first line
        m_sections.append(section);
        sections.append(int(m_sections.size() - 1));
        if (!named)
            m_order.append(key);
    }
    const std::optional<QString> busy =
        alias.busyTimeoutMs >= 0 ? std::optional<QString>(QString::number(alias.busyTimeoutMs))
                                 : std::nullopt;
    // A key the alias does not use is left out, so a directory alias reads as it always did.
    const auto unlessEmpty = [](const QString &value) {
        return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
    };
    for (int index : sections) {
        Section &section = m_sections[index];
        setKey(section, TypeKey, alias.driver);
        setKey(section, PathKey, alias.onServer() ? unlessEmpty(alias.path) : alias.path);
        setKey(section, DriverKey, alias.defaultDriver);
        setKey(section, ConnectionKey, unlessEmpty(alias.connection));
        setKey(section, SchemaKey, unlessEmpty(alias.schema));
        setKey(section, BusyTimeoutKey, busy);
    }
}

void AliasConfigText::removeAlias(const QString &name)
{
    for (int index : m_byName.value(name.toUpper()))
        m_sections[index].removed = true;
}

} // namespace dbe
