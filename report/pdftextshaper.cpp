#include "report/pdftextshaper.h"

#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <cmath>

namespace report::pdf {

namespace {

// Below the combining marks: Latin, its supplements and extensions, and the spacing modifiers.
constexpr char16_t PlainLimit = 0x300;

// Lays `text` out as one line the way a text box does, and answers the line.
QTextLine layOut(QTextLayout &layout)
{
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(qreal(0x01000000));
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    return line;
}

} // namespace

struct TextShaper::Face {
    struct Char {
        enum State : quint8 { Unknown, Plain, Other };
        State state = Unknown;
        quint32 glyph = 0;
        qreal advance = 0;
        QRectF box;
    };

    QFont font;
    QRawFont raw;
    std::array<Char, PlainLimit> chars;
    // What is known of a pair of neighbours: below 256 from a table, the rest from a hash.
    enum Pair : quint8 { PairUnknown, PairPlain, PairOther };
    std::array<Pair, 256 * 256> latinPairs{};
    QHash<quint32, bool> pairs; // first << 16 | second

    struct LaidOut {
        QString text;
        ShapedLine line;
    };
    static constexpr qsizetype LaidOutKept = 256;
    QHash<QString, LaidOut> laidOut;
};

TextShaper::TextShaper() = default;
TextShaper::~TextShaper() = default;

TextShaper::Face &TextShaper::faceOf(const QFont &font)
{
    // A copy of the last font is known without comparing every attribute.
    if (m_lastFace && (m_lastFace->font.isCopyOf(font) || m_lastFace->font == font))
        return *m_lastFace;
    for (const auto &face : m_faces) {
        if (face->font == font) {
            m_lastFace = face.get();
            return *face;
        }
    }
    auto face = std::make_unique<Face>();
    face->font = font;
    face->raw = QRawFont::fromFont(font);
    m_lastFace = face.get();
    m_faces.push_back(std::move(face));
    return *m_lastFace;
}

bool TextShaper::plainChar(Face &face, char16_t c)
{
    Face::Char &entry = face.chars[c];
    if (entry.state != Face::Char::Unknown)
        return entry.state == Face::Char::Plain;
    entry.state = Face::Char::Other;
    if (c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0xad)
        return false;
    const QChar ch(c);
    quint32 glyph = 0;
    int count = 1;
    if (!face.raw.glyphIndexesForChars(&ch, 1, &glyph, &count) || count != 1 || glyph == 0)
        return false;
    QTextLayout layout(QString(ch), face.font);
    layOut(layout);
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs.front().glyphIndexes() != QList<quint32>{glyph} ||
        runs.front().rawFont() != face.raw)
        return false;
    QPointF advance;
    face.raw.advancesForGlyphIndexes(&glyph, &advance, 1);
    entry.glyph = glyph;
    entry.advance = advance.x();
    entry.box = face.raw.boundingRect(glyph);
    entry.state = Face::Char::Plain;
    return true;
}

bool TextShaper::plainPair(Face &face, char16_t first, char16_t second)
{
    const bool latin = first < 256 && second < 256;
    Face::Pair &latinPair = face.latinPairs[latin ? first << 8 | second : 0];
    if (latin && latinPair != Face::PairUnknown)
        return latinPair == Face::PairPlain;
    const quint32 key = (quint32(first) << 16) | second;
    if (!latin) {
        const auto known = face.pairs.constFind(key);
        if (known != face.pairs.constEnd())
            return *known;
    }
    const QChar pair[2] = {QChar(first), QChar(second)};
    QTextLayout layout(QString(pair, 2), face.font);
    layOut(layout);
    const QList<QGlyphRun> runs = layout.glyphRuns();
    const Face::Char &a = face.chars[first];
    const Face::Char &b = face.chars[second];
    bool plain = false;
    if (runs.size() == 1 && runs.front().glyphIndexes() == QList<quint32>{a.glyph, b.glyph}) {
        const QList<QPointF> at = runs.front().positions();
        plain = at.size() == 2 && std::abs(at[1].x() - at[0].x() - a.advance) < 1e-3 &&
                std::abs(at[1].y() - at[0].y()) < 1e-3;
    }
    if (latin)
        latinPair = plain ? Face::PairPlain : Face::PairOther;
    else
        face.pairs.insert(key, plain);
    return plain;
}

bool TextShaper::shapePlainly(Face &face, const QString &text)
{
    const char16_t *chars = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype length = text.size();
    // What is known already is read here; the functions find out the rest once.
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = chars[i];
        if (c >= PlainLimit)
            return false;
        const Face::Char::State state = face.chars[c].state;
        if (state == Face::Char::Other || (state == Face::Char::Unknown && !plainChar(face, c)))
            return false;
        if (i == 0)
            continue;
        const char16_t before = chars[i - 1];
        const Face::Pair pair =
            before < 256 && c < 256 ? face.latinPairs[before << 8 | c] : Face::PairUnknown;
        if (pair == Face::PairOther || (pair == Face::PairUnknown && !plainPair(face, before, c)))
            return false;
    }
    m_line.runs.resize(1);
    GlyphRun &run = m_line.runs.front();
    run.face = face.raw;
    run.glyphs.resize(length);
    run.positions.resize(length);
    run.glyphText.resize(length);
    qreal x = 0;
    // The outlines' union by hand: QRectF's own takes a good part of a line's time.
    qreal left = 0, top = 0, right = 0, bottom = 0;
    bool inked = false;
    for (qsizetype i = 0; i < length; ++i) {
        const Face::Char &entry = face.chars[chars[i]];
        run.glyphs[i] = entry.glyph;
        run.positions[i] = QPointF(x, 0);
        run.glyphText[i] = QStringView(text).mid(i, 1);
        if (!entry.box.isEmpty()) {
            const qreal l = x + entry.box.left(), r = x + entry.box.right();
            left = inked ? std::min(left, l) : l;
            right = inked ? std::max(right, r) : r;
            top = inked ? std::min(top, entry.box.top()) : entry.box.top();
            bottom = inked ? std::max(bottom, entry.box.bottom()) : entry.box.bottom();
            inked = true;
        }
        x += entry.advance;
    }
    const QRectF ink = inked ? QRectF(QPointF(left, top), QPointF(right, bottom)) : QRectF();
    m_line.width = x;
    m_line.ascent = face.raw.ascent();
    m_line.descent = face.raw.descent();
    m_line.ink = ink;
    m_line.traced = true;
    m_line.plain = true;
    return true;
}

void TextShaper::shapeWithLayout(const QFont &font, const QString &text)
{
    QTextLayout layout(text, font);
    const QTextLine line = layOut(layout);
    m_line.runs.clear();
    m_line.ink = QRectF();
    m_line.traced = true;
    m_line.plain = false;
    m_line.width = line.isValid() ? line.horizontalAdvance() : 0;
    m_line.ascent = line.isValid() ? line.ascent() : 0;
    m_line.descent = line.isValid() ? line.descent() : 0;
    const QPointF baseline(0, m_line.ascent);
    for (const QGlyphRun &laid : layout.glyphRuns()) {
        GlyphRun run;
        run.face = laid.rawFont();
        run.glyphs = laid.glyphIndexes();
        run.positions = laid.positions();
        // A glyph is traced to a character of the text that the face maps to it; the first
        // such character not yet taken, so that repeated letters keep their order.
        const QList<quint32> mapped = run.face.glyphIndexesForString(text);
        QList<bool> taken(mapped.size(), false);
        run.glyphText.resize(run.glyphs.size());
        for (qsizetype g = 0; g < run.glyphs.size(); ++g) {
            run.positions[g] -= baseline;
            const QRectF box = run.face.boundingRect(run.glyphs[g]);
            if (!box.isEmpty())
                m_line.ink |= box.translated(run.positions[g]);
            for (qsizetype c = 0; c < mapped.size() && c < text.size(); ++c) {
                if (!taken[c] && mapped[c] == run.glyphs[g] && !text[c].isSurrogate()) {
                    taken[c] = true;
                    run.glyphText[g] = QStringView(text).mid(c, 1);
                    break;
                }
            }
            if (run.glyphText[g].isEmpty())
                m_line.traced = false;
        }
        m_line.runs.append(run);
    }
}

const ShapedLine &TextShaper::shape(const QFont &font, const QString &text)
{
    Face &face = faceOf(font);
    if (!text.isEmpty() && face.raw.isValid() && shapePlainly(face, text))
        return m_line;
    // A report repeats its headings on every page: what QTextLayout made of a text is kept.
    // The kept line's glyph texts refer to the kept copy of the text, which shares its
    // characters with the text they were taken from.
    const auto known = face.laidOut.constFind(text);
    if (known != face.laidOut.constEnd()) {
        m_line = known->line;
        return m_line;
    }
    shapeWithLayout(font, text);
    if (face.laidOut.size() >= Face::LaidOutKept)
        face.laidOut.clear();
    face.laidOut.insert(text, Face::LaidOut{text, m_line});
    return m_line;
}

} // namespace report::pdf
