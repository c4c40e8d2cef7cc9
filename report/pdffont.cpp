#include "report/pdffont.h"

#include "report/pdfobjects.h"

#include <QRawFont>
#include <algorithm>
#include <cstdio>

namespace report::pdf {

namespace {

quint16 u16(const QByteArray &data, qsizetype at)
{
    if (at < 0 || at + 2 > data.size())
        return 0;
    return quint16((quint8(data[at]) << 8) | quint8(data[at + 1]));
}

qint16 s16(const QByteArray &data, qsizetype at)
{
    return qint16(u16(data, at));
}

quint32 u32(const QByteArray &data, qsizetype at)
{
    return (quint32(u16(data, at)) << 16) | u16(data, at + 2);
}

void put16(QByteArray &data, qsizetype at, quint16 value)
{
    data[at] = char(value >> 8);
    data[at + 1] = char(value);
}

void put32(QByteArray &data, qsizetype at, quint32 value)
{
    put16(data, at, quint16(value >> 16));
    put16(data, at + 2, quint16(value));
}

void append32(QByteArray &data, quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    data.append(bytes, 4);
}

quint32 checksum(const QByteArray &data)
{
    quint32 sum = 0;
    for (qsizetype at = 0; at < data.size(); at += 4) {
        quint32 word = 0;
        for (int i = 0; i < 4; ++i)
            word = (word << 8) | (at + i < data.size() ? quint8(data[at + i]) : 0);
        sum += word;
    }
    return sum;
}

// Only what a PDF viewer reads from an embedded TrueType program, and the character map and
// names that some viewers want to see besides.
const char *const KeptTables[] = {"OS/2", "cmap", "cvt ", "fpgm", "glyf", "head", "hhea",
                                  "hmtx", "loca", "maxp", "name", "post", "prep"};

// The face's PostScript name from its naming table (name 6), else its family and style.
QString postScriptName(const QRawFont &face, const QByteArray &names)
{
    const int count = u16(names, 2);
    const int strings = u16(names, 4);
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * qsizetype(i);
        const quint16 platform = u16(names, record);
        if (u16(names, record + 6) != 6 || (platform != 1 && platform != 3))
            continue;
        const qsizetype at = strings + u16(names, record + 10);
        const int length = u16(names, record + 8);
        if (at + length > names.size())
            continue;
        QString name;
        if (platform == 3) {
            for (int c = 0; c + 1 < length; c += 2)
                name.append(QChar(u16(names, at + c)));
        } else {
            name = QString::fromLatin1(names.constData() + at, length);
        }
        if (!name.isEmpty())
            return name;
    }
    QString name = face.familyName();
    const QString style = face.styleName();
    if (!style.isEmpty() && style.compare(QLatin1String("Regular"), Qt::CaseInsensitive) != 0)
        name += QLatin1Char('-') + style;
    return name;
}

// A name token keeps to letters, digits and hyphens.
QByteArray psName(const QRawFont &face, const QByteArray &names)
{
    QByteArray result;
    for (const QChar c : postScriptName(face, names)) {
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-'))
            result.append(char(c.unicode()));
    }
    return result.isEmpty() ? QByteArray("Font") : result;
}

} // namespace

std::unique_ptr<EmbeddedFont> EmbeddedFont::fromFace(const QRawFont &face, ObjectWriter &objects,
                                                     int index)
{
    std::unique_ptr<EmbeddedFont> font(new EmbeddedFont);
    for (const char *tag : KeptTables) {
        const QByteArray table = face.fontTable(tag);
        if (!table.isEmpty())
            font->m_tables.insert(tag, table);
    }
    const QByteArray &head = font->m_tables["head"];
    const QByteArray &maxp = font->m_tables["maxp"];
    const QByteArray &hhea = font->m_tables["hhea"];
    if (head.size() < 54 || maxp.size() < 6 || hhea.size() < 36 ||
        !font->m_tables.contains("glyf") || !font->m_tables.contains("loca") ||
        !font->m_tables.contains("hmtx"))
        return nullptr;
    font->m_unitsPerEm = std::max<int>(16, u16(head, 18));
    font->m_longOffsets = s16(head, 50) == 1;
    font->m_glyphCount = u16(maxp, 4);
    font->m_metricsCount = std::max<int>(1, u16(hhea, 34));
    font->m_italic = face.style() != QFont::StyleNormal;
    // Glyphs past the metrics' end share the last advance.
    const QByteArray &hmtx = font->m_tables["hmtx"];
    font->m_advances.resize(font->m_glyphCount);
    for (int g = 0; g < font->m_glyphCount; ++g)
        font->m_advances[g] =
            u16(hmtx, 4 * std::min(g, font->m_metricsCount - 1)) * 1000.0 / font->m_unitsPerEm;
    font->m_used.resize(font->m_glyphCount);
    font->m_untraced.resize(font->m_glyphCount);
    font->m_objectNumber = objects.reserve();
    font->m_resourceName = "/F" + QByteArray::number(index);
    // A subset's name starts with six capitals of its own, so that two subsets of one face in
    // different documents are not taken for the same font.
    QByteArray tag;
    for (int i = 0, n = index; i < 6; ++i, n /= 26)
        tag.prepend(char('A' + n % 26));
    font->m_baseName = tag + '+' + psName(face, font->m_tables.value("name"));
    return font;
}

QByteArray EmbeddedFont::glyphData(quint32 glyph) const
{
    const QByteArray &loca = m_tables["loca"];
    const QByteArray &glyf = m_tables["glyf"];
    const qsizetype start = m_longOffsets ? u32(loca, 4 * glyph) : 2 * qsizetype(u16(loca, 2 * glyph));
    const qsizetype end =
        m_longOffsets ? u32(loca, 4 * (glyph + 1)) : 2 * qsizetype(u16(loca, 2 * (glyph + 1)));
    if (end <= start || end > glyf.size())
        return {};
    return glyf.mid(start, end - start);
}

QByteArray EmbeddedFont::subsetProgram() const
{
    // The used glyphs and the parts composite glyphs are made of; glyph 0 is the one shown for
    // anything missing.
    QBitArray keep(m_glyphCount);
    QList<quint32> pending{0};
    for (int g = 0; g < m_glyphCount; ++g) {
        if (m_used.testBit(g))
            pending.append(quint32(g));
    }
    while (!pending.isEmpty()) {
        const quint32 glyph = pending.takeLast();
        if (glyph >= quint32(m_glyphCount) || keep.testBit(int(glyph)))
            continue;
        keep.setBit(int(glyph));
        const QByteArray data = glyphData(glyph);
        if (data.size() < 10 || s16(data, 0) >= 0)
            continue;
        enum : quint16 { WordArgs = 0x1, Scale = 0x8, More = 0x20, XYScale = 0x40, TwoByTwo = 0x80 };
        qsizetype at = 10;
        quint16 flags = More;
        while ((flags & More) && at + 4 <= data.size()) {
            flags = u16(data, at);
            pending.append(u16(data, at + 2));
            at += 4 + ((flags & WordArgs) ? 4 : 2);
            if (flags & Scale)
                at += 2;
            else if (flags & XYScale)
                at += 4;
            else if (flags & TwoByTwo)
                at += 8;
        }
    }

    QByteArray glyf;
    QByteArray loca;
    for (int g = 0; g < m_glyphCount; ++g) {
        append32(loca, quint32(glyf.size()));
        if (keep.testBit(g)) {
            glyf.append(glyphData(quint32(g)));
            while (glyf.size() % 4 != 0)
                glyf.append('\0');
        }
    }
    append32(loca, quint32(glyf.size()));

    QHash<QByteArray, QByteArray> tables = m_tables;
    tables["glyf"] = glyf;
    tables["loca"] = loca;
    QByteArray &head = tables["head"];
    put32(head, 8, 0); // the whole font's checksum adjustment, set below
    put16(head, 50, 1);
    // Glyph names would be most of the table and no viewer needs them: version 3 has none.
    const QByteArray post = m_tables.value("post");
    QByteArray shortPost(32, '\0');
    put32(shortPost, 0, 0x00030000);
    if (post.size() >= 16)
        shortPost.replace(4, 12, post.mid(4, 12));
    tables["post"] = shortPost;

    QList<QByteArray> tags = tables.keys();
    std::sort(tags.begin(), tags.end());
    const int count = int(tags.size());
    int power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    QByteArray program;
    append32(program, 0x00010000);
    program.append(char(count >> 8)).append(char(count));
    program.append(char((power * 16) >> 8)).append(char(power * 16));
    program.append(char(log2 >> 8)).append(char(log2));
    program.append(char(((count - power) * 16) >> 8)).append(char((count - power) * 16));
    quint32 offset = quint32(12 + 16 * count);
    qsizetype headOffset = 0;
    QByteArray directory, body;
    for (const QByteArray &tag : tags) {
        const QByteArray &table = tables[tag];
        directory.append(tag.leftJustified(4, ' ', true));
        append32(directory, checksum(table));
        append32(directory, offset);
        append32(directory, quint32(table.size()));
        if (tag == "head")
            headOffset = 12 + 16 * count + body.size();
        body.append(table);
        while (body.size() % 4 != 0)
            body.append('\0');
        offset = quint32(12 + 16 * count + body.size());
    }
    program.append(directory).append(body);
    put32(program, headOffset + 8, 0xB1B0AFBAu - checksum(program));
    return program;
}

QByteArray EmbeddedFont::widths() const
{
    QByteArray w("[");
    int g = 0;
    while (g < m_glyphCount) {
        if (!m_used.testBit(g)) {
            ++g;
            continue;
        }
        appendInteger(w, g);
        w.append('[');
        bool first = true;
        while (g < m_glyphCount && m_used.testBit(g)) {
            if (!first)
                w.append(' ');
            appendNumber(w, advance(quint32(g)));
            first = false;
            ++g;
        }
        w.append(']');
    }
    w.append(']');
    return w;
}

QByteArray EmbeddedFont::toUnicode() const
{
    QList<quint32> glyphs = m_text.keys();
    std::sort(glyphs.begin(), glyphs.end());
    QByteArray cmap("/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                    "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
                    "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
                    "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n");
    // At most a hundred mappings to a block.
    for (qsizetype start = 0; start < glyphs.size(); start += 100) {
        const qsizetype end = std::min(glyphs.size(), start + 100);
        appendInteger(cmap, end - start);
        cmap.append(" beginbfchar\n");
        for (qsizetype i = start; i < end; ++i) {
            char code[8];
            std::snprintf(code, sizeof code, "<%04X>", unsigned(glyphs[i]));
            cmap.append(code).append('<').append(utf16Hex(m_text.value(glyphs[i]))).append(">\n");
        }
        cmap.append("endbfchar\n");
    }
    cmap.append("endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n");
    return cmap;
}

void EmbeddedFont::write(ObjectWriter &out) const
{
    const int descendant = out.reserve();
    const int descriptor = out.reserve();
    const int program = out.reserve();
    const int unicode = out.reserve();

    QByteArray type0("<</Type/Font/Subtype/Type0/BaseFont/");
    type0.append(m_baseName).append("/Encoding/Identity-H/DescendantFonts[");
    appendInteger(type0, descendant);
    type0.append(" 0 R]/ToUnicode ");
    appendInteger(type0, unicode);
    type0.append(" 0 R>>");
    out.writeObject(m_objectNumber, type0);

    QByteArray cid("<</Type/Font/Subtype/CIDFontType2/BaseFont/");
    cid.append(m_baseName)
        .append("/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                "/FontDescriptor ");
    appendInteger(cid, descriptor);
    cid.append(" 0 R/CIDToGIDMap/Identity/W ").append(widths()).append(">>");
    out.writeObject(descendant, cid);

    const QByteArray &head = m_tables["head"];
    const QByteArray &hhea = m_tables["hhea"];
    const QByteArray os2 = m_tables.value("OS/2");
    const QByteArray post = m_tables.value("post");
    const double unit = 1000.0 / m_unitsPerEm;
    const double ascent = s16(hhea, 4) * unit;
    const double capHeight = u16(os2, 0) >= 2 && os2.size() >= 90 ? s16(os2, 88) * unit : ascent;
    QByteArray fd("<</Type/FontDescriptor/FontName/");
    fd.append(m_baseName).append(m_italic ? "/Flags 96" : "/Flags 32").append("/FontBBox[");
    for (int at : {36, 38, 40, 42}) {
        appendNumber(fd, s16(head, at) * unit);
        fd.append(at == 42 ? "]" : " ");
    }
    fd.append("/ItalicAngle ");
    appendNumber(fd, post.size() >= 8 ? qint32(u32(post, 4)) / 65536.0 : 0);
    fd.append("/Ascent ");
    appendNumber(fd, ascent);
    fd.append("/Descent ");
    appendNumber(fd, s16(hhea, 6) * unit);
    fd.append("/CapHeight ");
    appendNumber(fd, capHeight);
    fd.append("/StemV 80/FontFile2 ");
    appendInteger(fd, program);
    fd.append(" 0 R>>");
    out.writeObject(descriptor, fd);

    const QByteArray subset = subsetProgram();
    QByteArray length1("/Length1 ");
    appendInteger(length1, subset.size());
    out.writeStream(program, length1, subset);
    out.writeStream(unicode, {}, toUnicode());
}

} // namespace report::pdf
