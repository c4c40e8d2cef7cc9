#include "report/pdfdocumentwriter.h"

#include "report/pdffont.h"

#include <QDateTime>
#include <QImage>
#include <QRawFont>

namespace report::pdf {

namespace {

QString faceKey(const QRawFont &face)
{
    return face.familyName() + QLatin1Char('\n') + face.styleName() + QLatin1Char('\n') +
           QString::number(face.weight()) + QLatin1Char('\n') + QString::number(int(face.style()));
}

QByteArray reference(int number)
{
    QByteArray text;
    appendInteger(text, number);
    text.append(" 0 R");
    return text;
}

// An image's rows without the padding a QImage may end each with.
QByteArray samplesOf(const QImage &image, int bytesPerPixel)
{
    const qsizetype row = qsizetype(image.width()) * bytesPerPixel;
    QByteArray samples;
    samples.reserve(row * image.height());
    for (int y = 0; y < image.height(); ++y)
        samples.append(reinterpret_cast<const char *>(image.constScanLine(y)), row);
    return samples;
}

QByteArray imageDictionary(QSize size, const char *colourSpace)
{
    QByteArray dictionary("/Type/XObject/Subtype/Image/Width ");
    appendInteger(dictionary, size.width());
    dictionary.append("/Height ");
    appendInteger(dictionary, size.height());
    dictionary.append("/ColorSpace").append(colourSpace).append("/BitsPerComponent 8");
    return dictionary;
}

// A hatch cell of a twelfth of an inch, the spacing a screen shows a hatched box with.
constexpr int HatchCell = 6;

QByteArray hatchLines(int style)
{
    const QByteArray horizontal("0 3 m 6 3 l ");
    const QByteArray vertical("3 0 m 3 6 l ");
    // In the pattern's space y runs up, as on the page.
    const QByteArray rising("-1 -1 m 7 7 l ");
    const QByteArray falling("-1 7 m 7 -1 l ");
    switch (Qt::BrushStyle(style)) {
    case Qt::HorPattern:
        return horizontal;
    case Qt::VerPattern:
        return vertical;
    case Qt::CrossPattern:
        return horizontal + vertical;
    case Qt::BDiagPattern:
        return rising;
    case Qt::FDiagPattern:
        return falling;
    case Qt::DiagCrossPattern:
        return rising + falling;
    default:
        return {};
    }
}

} // namespace

DocumentWriter::DocumentWriter(QIODevice &device, QSizeF pagePoints)
    : m_objects(device), m_pagePoints(pagePoints)
{
    m_pageTree = m_objects.reserve();
    m_resources = m_objects.reserve();
}

DocumentWriter::~DocumentWriter() = default;

void DocumentWriter::writePage(const QByteArray &content)
{
    const int contents = m_objects.reserve();
    const int page = m_objects.reserve();
    m_objects.writeStream(contents, {}, content);
    QByteArray body("<</Type/Page/Parent ");
    body.append(reference(m_pageTree)).append("/MediaBox[0 0 ");
    appendNumber(body, m_pagePoints.width());
    body.append(' ');
    appendNumber(body, m_pagePoints.height());
    body.append("]/Resources ").append(reference(m_resources));
    body.append("/Contents ").append(reference(contents)).append(">>");
    m_objects.writeObject(page, body);
    m_pages.append(page);
}

EmbeddedFont *DocumentWriter::font(const QRawFont &face)
{
    const QString key = faceKey(face);
    if (EmbeddedFont *known = m_fontsByFace.value(key))
        return known;
    if (m_faceWithoutOutlines.contains(key))
        return nullptr;
    auto made = EmbeddedFont::fromFace(face, m_objects, int(m_fonts.size()) + 1);
    if (!made) {
        m_faceWithoutOutlines.insert(key, true);
        return nullptr;
    }
    EmbeddedFont *font = made.get();
    m_fonts.push_back(std::move(made));
    m_fontsByFace.insert(key, font);
    return font;
}

QByteArray DocumentWriter::image(const QImage &image)
{
    const auto known = m_imagesByKey.constFind(image.cacheKey());
    if (known != m_imagesByKey.constEnd())
        return *known;
    QByteArray dictionary = imageDictionary(image.size(), "/DeviceRGB");
    if (image.hasAlphaChannel()) {
        const int maskObject = m_objects.reserve();
        m_objects.writeStream(maskObject, imageDictionary(image.size(), "/DeviceGray"),
                              samplesOf(image.convertToFormat(QImage::Format_Alpha8), 1));
        dictionary.append("/SMask ").append(reference(maskObject));
    }
    const int object = m_objects.reserve();
    m_objects.writeStream(object, dictionary,
                          samplesOf(image.convertToFormat(QImage::Format_RGB888), 3));
    const QByteArray name = "/Im" + QByteArray::number(m_imagesByKey.size() + 1);
    m_imageEntries.append(name).append(' ').append(reference(object));
    m_imagesByKey.insert(image.cacheKey(), name);
    return name;
}

QByteArray DocumentWriter::hatch(int brushStyle)
{
    const auto known = m_hatches.constFind(brushStyle);
    if (known != m_hatches.constEnd())
        return *known;
    const QByteArray lines = hatchLines(brushStyle);
    if (lines.isEmpty())
        return {};
    QByteArray dictionary("/Type/Pattern/PatternType 1/PaintType 2/TilingType 1/BBox[0 0 ");
    appendInteger(dictionary, HatchCell);
    dictionary.append(' ');
    appendInteger(dictionary, HatchCell);
    dictionary.append("]/XStep ");
    appendInteger(dictionary, HatchCell);
    dictionary.append("/YStep ");
    appendInteger(dictionary, HatchCell);
    dictionary.append("/Resources<<>>");
    const int object = m_objects.reserve();
    m_objects.writeStream(object, dictionary, "0.75 w 0 J " + lines + "S", false);
    const QByteArray name = "/P" + QByteArray::number(m_hatches.size() + 1);
    m_patternEntries.append(name).append(' ').append(reference(object));
    m_hatches.insert(brushStyle, name);
    return name;
}

QByteArray DocumentWriter::opacity(int fill, int stroke)
{
    const int key = fill << 8 | stroke;
    const auto known = m_opacities.constFind(key);
    if (known != m_opacities.constEnd())
        return *known;
    const QByteArray name = "/GS" + QByteArray::number(m_opacities.size() + 1);
    m_stateEntries.append(name).append("<</Type/ExtGState/ca ");
    appendNumber(m_stateEntries, fill / 255.0);
    m_stateEntries.append("/CA ");
    appendNumber(m_stateEntries, stroke / 255.0);
    m_stateEntries.append(">>");
    m_opacities.insert(key, name);
    return name;
}

bool DocumentWriter::finish(const QString &title, const QString &creator)
{
    QByteArray tree("<</Type/Pages/Kids[");
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        if (i > 0)
            tree.append(' ');
        tree.append(reference(m_pages[i]));
    }
    tree.append("]/Count ");
    appendInteger(tree, m_pages.size());
    tree.append(">>");
    m_objects.writeObject(m_pageTree, tree);

    QByteArray resources("<</ProcSet[/PDF/Text/ImageC]/Font<<");
    for (const auto &font : m_fonts)
        resources.append(font->resourceName()).append(' ').append(reference(font->objectNumber()));
    resources.append(">>/XObject<<").append(m_imageEntries);
    resources.append(">>/Pattern<<").append(m_patternEntries);
    resources.append(">>/ColorSpace<</PCS[/Pattern/DeviceRGB]>>/ExtGState<<");
    resources.append(m_stateEntries).append(">>>>");
    m_objects.writeObject(m_resources, resources);

    for (const auto &font : m_fonts)
        font->write(m_objects);

    const int info = m_objects.reserve();
    QByteArray infoBody("<</Title ");
    infoBody.append(textString(title)).append("/Creator ").append(textString(creator));
    infoBody.append("/Producer ").append(textString(creator));
    infoBody.append("/CreationDate(D:");
    infoBody.append(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1());
    infoBody.append("Z)>>");
    m_objects.writeObject(info, infoBody);
    const int catalog = m_objects.reserve();
    m_objects.writeObject(catalog, "<</Type/Catalog/Pages " + reference(m_pageTree) + ">>");
    m_objects.finish(catalog, info);
    return !m_objects.failed();
}

} // namespace report::pdf
