#pragma once

#include <QBitArray>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

class QRawFont;

namespace report::pdf {

class ObjectWriter;

// One TrueType face of a document's text, embedded as a composite font whose character codes
// are the face's own glyph numbers, so that any glyph a layout chose can be shown and text of
// any script needs no encoding of ours. It remembers the glyphs the pages used and the text
// each stands for; at the end it writes a font program that keeps only those glyphs (their
// numbers unchanged, the others left empty), their widths and the map back to text that makes
// the document searchable.
class EmbeddedFont
{
public:
    // Null when the face has no TrueType outlines (a PostScript-flavoured OpenType face).
    // The font's object number is reserved from `objects`, its resource name is "/F<index>".
    static std::unique_ptr<EmbeddedFont> fromFace(const QRawFont &face, ObjectWriter &objects,
                                                  int index);

    int objectNumber() const { return m_objectNumber; }
    // The name the pages' resources give it ("/F1").
    const QByteArray &resourceName() const { return m_resourceName; }
    int glyphCount() const { return m_glyphCount; }
    // The glyph's advance in thousandths of the em: what a viewer moves by after showing it.
    double advance(quint32 glyph) const
    {
        return glyph < m_advances.size() ? m_advances[glyph] : 0;
    }

    // A glyph shown, and the text it stands for (empty when not known); the first text given
    // for a glyph stays.
    void use(quint32 glyph, QStringView text)
    {
        if (glyph >= quint32(m_glyphCount) ||
            (m_used.testBit(int(glyph)) && !m_untraced.testBit(int(glyph))))
            return;
        m_used.setBit(int(glyph));
        m_untraced.setBit(int(glyph), text.isEmpty());
        if (!text.isEmpty())
            m_text.insert(glyph, text.toString());
    }

    void write(ObjectWriter &out) const;

private:
    EmbeddedFont() = default;
    QByteArray subsetProgram() const;
    QByteArray widths() const;
    QByteArray toUnicode() const;
    QByteArray glyphData(quint32 glyph) const;

    int m_objectNumber = 0;
    QByteArray m_resourceName;
    QByteArray m_baseName;
    QHash<QByteArray, QByteArray> m_tables; // by tag
    std::vector<double> m_advances; // by glyph
    int m_glyphCount = 0;
    int m_metricsCount = 0;
    int m_unitsPerEm = 1000;
    bool m_longOffsets = false;
    bool m_italic = false;
    QBitArray m_used;
    QBitArray m_untraced; // used, but with no text yet
    QHash<quint32, QString> m_text;
};

} // namespace report::pdf
