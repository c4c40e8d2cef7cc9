#include "intl/shortdate.h"

#include <QFile>
#include <QList>
#include <QStandardPaths>
#include <QTextStream>

namespace controls {

namespace {

const QChar DefaultSeparator = u'/';
const QString DefaultPicture = QStringLiteral("M/d/yyyy");
// The display format is a short string field of the edit.
constexpr qsizetype MaxPictureLength = 20;

struct Token {
    enum Kind { Day, Month, Year, Era, Separator, Literal };
    Kind kind = Literal;
    int count = 0; // letters in a day, month, year or era run
    QString text;  // a literal's characters
};

QList<Token> tokenize(QStringView picture)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar c = picture[i];
        if (c == u'\'' && i + 1 < picture.size() && picture[i + 1] == u'\'') {
            tokens.append({Token::Literal, 0, QStringLiteral("'")});
            i += 2;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            QString text;
            ++i;
            while (i < picture.size()) {
                if (picture[i] == c) {
                    // Inside single quotes a doubled quote stands for the quote itself.
                    if (c == u'\'' && i + 1 < picture.size() && picture[i + 1] == c) {
                        text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += picture[i++];
            }
            tokens.append({Token::Literal, 0, text});
            continue;
        }
        const char16_t lower = c.toLower().unicode();
        Token::Kind kind = Token::Literal;
        if (lower == u'd')
            kind = Token::Day;
        else if (lower == u'm')
            kind = Token::Month;
        else if (lower == u'y')
            kind = Token::Year;
        else if (lower == u'g')
            kind = Token::Era;
        if (kind == Token::Literal) {
            tokens.append({c == u'/' ? Token::Separator : Token::Literal, 0, QString(c)});
            ++i;
            continue;
        }
        int count = 0;
        while (i < picture.size() && picture[i].toLower().unicode() == lower) {
            ++count;
            ++i;
        }
        tokens.append({kind, count, {}});
    }
    return tokens;
}

// Builds a Qt format, quoting what Qt would otherwise read as a field.
class QtFormatWriter
{
public:
    void field(QChar letter, int count)
    {
        closeQuote();
        m_out += QString(count, letter);
    }
    void literal(QStringView text)
    {
        for (const QChar c : text) {
            if (c.isLetter() || c == u'\'') {
                openQuote();
                m_out += c == u'\'' ? QStringLiteral("''") : QString(c);
            } else {
                m_out += c;
            }
        }
    }
    QString result()
    {
        closeQuote();
        return m_out;
    }

private:
    void openQuote()
    {
        if (!m_quoted)
            m_out += u'\'';
        m_quoted = true;
    }
    void closeQuote()
    {
        if (m_quoted)
            m_out += u'\'';
        m_quoted = false;
    }

    QString m_out;
    bool m_quoted = false;
};

// Where day, month and year stand among the numbers of a short date; -1 when the picture lacks
// that part as a number.
struct PartOrder {
    int day = -1;
    int month = -1;
    int year = -1;
    bool twoDigitYear = false;
    bool complete() const { return day >= 0 && month >= 0 && year >= 0; }
};

PartOrder numericOrder(QStringView picture)
{
    PartOrder order;
    int next = 0;
    for (const Token &token : tokenize(picture)) {
        if (token.kind == Token::Day && token.count <= 2 && order.day < 0)
            order.day = next++;
        else if (token.kind == Token::Month && token.count <= 2 && order.month < 0)
            order.month = next++;
        else if (token.kind == Token::Year && order.year < 0) {
            order.year = next++;
            order.twoDigitYear = token.count <= 2;
        }
    }
    return order;
}

int windowedYear(int twoDigits, int currentYear)
{
    int year = currentYear - currentYear % 100 + twoDigits;
    if (year > currentYear + 49)
        year -= 100;
    else if (year < currentYear - 50)
        year += 100;
    return year;
}

QString withAsciiDigits(QString text, const QLocale &locale)
{
    const QString zero = locale.zeroDigit();
    if (zero.size() != 1 || zero == QStringLiteral("0"))
        return text;
    const char16_t first = zero.front().unicode();
    for (QChar &c : text) {
        if (c.unicode() >= first && c.unicode() <= first + 9)
            c = QChar(u'0' + (c.unicode() - first));
    }
    return text;
}

struct ProfileKeys {
    std::optional<QString> separator;
    std::optional<QString> picture;
};

// The old profiles are INI files whose section and key names ignore case and whose values may
// stand in quotes. QSettings is no use here: it would split "mmmm d, yyyy" at the comma.
std::optional<ProfileKeys> readProfile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    ProfileKeys keys;
    QTextStream in(&file);
    bool inIntl = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inIntl =
                line.mid(1, line.size() - 2).trimmed().compare(u"intl", Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inIntl || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (key.compare(u"sDate", Qt::CaseInsensitive) == 0)
            keys.separator = value;
        else if (key.compare(u"sShortDate", Qt::CaseInsensitive) == 0)
            keys.picture = value;
    }
    return keys;
}

// The first punctuation or symbol outside quotes: what a person types between the numbers.
std::optional<QChar> separatorOf(QStringView picture)
{
    for (const Token &token : tokenize(picture)) {
        if (token.kind == Token::Separator)
            return QChar(u'/');
        if (token.kind == Token::Literal && token.text.size() == 1 &&
            (token.text.front().isPunct() || token.text.front().isSymbol()))
            return token.text.front();
    }
    return std::nullopt;
}

std::optional<ShortDateFormat> fromLocale(const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return std::nullopt;
    QString picture = locale.dateFormat(QLocale::ShortFormat);
    // Direction marks between the numbers would only get in the way of typing.
    picture.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
    const std::optional<QChar> separator = separatorOf(picture);
    if (!separator || !numericOrder(picture).complete() || picture.size() > MaxPictureLength)
        return std::nullopt;
    return ShortDateFormat{*separator, picture};
}

} // namespace

QString qtDateFormat(QStringView picture, QChar separator)
{
    QtFormatWriter writer;
    for (const Token &token : tokenize(picture)) {
        switch (token.kind) {
        case Token::Day:
            writer.field(u'd', std::min(token.count, 4));
            break;
        case Token::Month:
            writer.field(u'M', std::min(token.count, 4));
            break;
        case Token::Year:
            // Qt knows no one-digit year; "y" and "yyy" are written as their nearest kin.
            writer.field(u'y', token.count <= 2 ? 2 : 4);
            break;
        case Token::Era:
            break; // Qt has no era field; our calendar has only the one era anyway
        case Token::Separator:
            writer.literal(QStringView(&separator, 1));
            break;
        case Token::Literal:
            writer.literal(token.text);
            break;
        }
    }
    return writer.result();
}

QString ShortDateFormat::profilePath()
{
    const QString fromEnvironment = qEnvironmentVariable("VESK_INTL_CONFIG");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/VeskSecure/intl.ini");
}

ShortDateFormat ShortDateFormat::read(const QString &profilePath, const QLocale &systemLocale)
{
    if (const std::optional<ProfileKeys> keys = readProfile(profilePath)) {
        ShortDateFormat result;
        if (keys->picture && !keys->picture->isEmpty())
            result.picture = keys->picture->left(MaxPictureLength);
        // Without sDate the separator the picture uses is the one to type; the fixed "/" would
        // leave the separator key stepping over nothing.
        if (keys->separator && !keys->separator->isEmpty())
            result.separator = keys->separator->front();
        else
            result.separator = separatorOf(result.picture).value_or(DefaultSeparator);
        return result;
    }
    if (const std::optional<ShortDateFormat> derived = fromLocale(systemLocale))
        return *derived;
    return ShortDateFormat{DefaultSeparator, DefaultPicture};
}

QString ShortDateFormat::format(const QDate &date) const
{
    // A log's report or grid formats thousands of moments of one day in a row, and the
    // locale's formatting reads the picture again each time: the last day's text is kept, with
    // what it was made from.
    struct Made {
        QDate date;
        QChar separator;
        QString picture;
        QLocale locale;
        QString text;
    };
    thread_local Made last;
    const QLocale locale;
    if (date.isValid() && date == last.date && separator == last.separator &&
        picture == last.picture && locale == last.locale)
        return last.text;
    QString text = withAsciiDigits(locale.toString(date, qtFormat()), locale);
    last = Made{date, separator, picture, locale, text};
    return text;
}

QString ShortDateFormat::formatDateTime(const QDateTime &value) const
{
    if (!value.isValid())
        return {};
    const QTime time = value.time();
    const int fields[3] = {time.hour(), time.minute(), time.second()};
    QString text = format(value.date());
    text.reserve(text.size() + 9);
    text.append(QLatin1Char(' '));
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            text.append(QLatin1Char(':'));
        text.append(QChar(u'0' + fields[i] / 10)).append(QChar(u'0' + fields[i] % 10));
    }
    return text;
}

QString ShortDateFormat::formatValue(const QVariant &value) const
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return formatDateTime(value.toDateTime());
    if (value.typeId() == QMetaType::QDate)
        return format(value.toDate());
    return value.toString();
}

std::optional<QDate> ShortDateFormat::parse(QStringView text, const QDate &today) const
{
    const PartOrder order = numericOrder(picture);
    const QList<QStringView> parts = text.split(separator);
    QList<int> numbers;
    QList<qsizetype> digitCounts;
    for (QStringView part : parts) {
        QString digits = part.toString();
        digits.removeIf([](QChar c) { return c.isSpace() || c.category() == QChar::Other_Format; });
        bool ok = !digits.isEmpty() && digits.size() <= 4;
        for (const QChar c : digits)
            ok = ok && c >= u'0' && c <= u'9';
        if (!ok)
            break;
        numbers.append(digits.toInt());
        digitCounts.append(digits.size());
    }
    if (order.complete() && numbers.size() == parts.size() &&
        (numbers.size() == 2 || numbers.size() == 3)) {
        int year = today.year();
        int month = 0;
        int day = 0;
        if (numbers.size() == 3) {
            year = numbers[order.year];
            if (digitCounts[order.year] <= 2)
                year = windowedYear(year, today.year());
            month = numbers[order.month];
            day = numbers[order.day];
        } else {
            const bool monthFirst = order.month < order.day;
            month = numbers[monthFirst ? 0 : 1];
            day = numbers[monthFirst ? 1 : 0];
        }
        const QDate date(year, month, day);
        if (year > 0 && date.isValid())
            return date;
        return std::nullopt;
    }
    if (order.complete())
        return std::nullopt;
    // A picture with month names: only the locale can read the names back.
    QDate date = QLocale().toDate(text.toString().trimmed(), qtFormat());
    if (!date.isValid())
        return std::nullopt;
    if (order.twoDigitYear)
        date = QDate(windowedYear(date.year() % 100, today.year()), date.month(), date.day());
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

} // namespace controls
