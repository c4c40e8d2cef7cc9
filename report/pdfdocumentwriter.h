#pragma once

#include "report/pdfobjects.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSizeF>
#include <QString>
#include <memory>
#include <vector>

class QImage;
class QIODevice;
class QRawFont;

namespace report::pdf {

class EmbeddedFont;

// The document around the pages: it writes each page's content as the page ends, and the
// fonts, images, hatches and transparencies the pages share into one resource dictionary at
// the end. Pages name their resources by the names these calls answer.
class DocumentWriter
{
public:
    DocumentWriter(QIODevice &device, QSizeF pagePoints);
    ~DocumentWriter();
    DocumentWriter(const DocumentWriter &) = delete;
    DocumentWriter &operator=(const DocumentWriter &) = delete;

    void writePage(const QByteArray &content);

    // The embedded font of a face; null when the face cannot be embedded and its glyphs must
    // be drawn as outlines.
    EmbeddedFont *font(const QRawFont &face);
    QByteArray image(const QImage &image);
    // An uncoloured tiling pattern of the hatch; null for a style that is no hatch.
    QByteArray hatch(int brushStyle);
    // A graphics state with the fill and stroke opacities, in 255ths.
    QByteArray opacity(int fill, int stroke);

    // The page tree, the resources, the fonts and the file's end. False when any write failed.
    bool finish(const QString &title, const QString &creator);

    bool failed() const { return m_objects.failed(); }
    QString errorString() const { return m_objects.errorString(); }

private:
    ObjectWriter m_objects;
    QSizeF m_pagePoints;
    int m_pageTree = 0;
    int m_resources = 0;
    QList<int> m_pages;
    std::vector<std::unique_ptr<EmbeddedFont>> m_fonts;
    QHash<QString, EmbeddedFont *> m_fontsByFace;
    QHash<QString, bool> m_faceWithoutOutlines;
    QHash<qint64, QByteArray> m_imagesByKey;
    QByteArray m_imageEntries;
    QHash<int, QByteArray> m_hatches;
    QByteArray m_patternEntries;
    QHash<int, QByteArray> m_opacities;
    QByteArray m_stateEntries;
};

} // namespace report::pdf
