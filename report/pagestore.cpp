#include "report/pagestore.h"

#include "dbe/error.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace report {

namespace {

enum Kind : quint8 { KLine = 1, KBox, KEllipse, KTextBox, KRotateText, KGraphic };

// Pages read back and kept: the preview's page, and the one before and after it.
constexpr size_t ReadBackKept = 3;
// zlib's fastest level: the pages' coordinates and texts repeat enough that it still takes the
// file to about a sixth, at a fraction of the time the next levels need.
constexpr int CompressionLevel = 1;

void writeBox(QDataStream &out, const TBoxCmd &box)
{
    out << box.X1 << box.Y1 << box.X2 << box.Y2 << box.PenWidth << quint8(box.BrushStyle)
        << box.BrushColor;
}

void readBox(QDataStream &in, TBoxCmd &box)
{
    quint8 style = 0;
    in >> box.X1 >> box.Y1 >> box.X2 >> box.Y2 >> box.PenWidth >> style >> box.BrushColor;
    box.BrushStyle = TBrushStyle(style);
}

// The font table stays in memory; this is only its key.
QDataStream &operator<<(QDataStream &out, const ReportFont &font)
{
    return out << font.name << qint32(font.size) << font.bold << font.italic << font.underline
               << font.strikeOut << font.color;
}

QString cacheFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache))
        return cache;
    return QDir::tempPath();
}

} // namespace

qint64 estimatedBytes(const TDrawCmd &command)
{
    // The object, its heap block's overhead and the list's pointer; texts in UTF-16.
    qint64 bytes = 160;
    if (const auto *text = dynamic_cast<const TTextBoxCmd *>(&command))
        bytes += 2 * (text->Text.size() + text->Font.name.size());
    else if (const auto *rotated = dynamic_cast<const TRotateTextCmd *>(&command))
        bytes += 2 * (rotated->Text.size() + rotated->Font.name.size());
    else if (const auto *picture = dynamic_cast<const TGraphicCmd *>(&command))
        bytes += picture->Graphic.sizeInBytes();
    return bytes;
}

PageStore::PageStore() = default;

PageStore::~PageStore() = default;

void PageStore::clear()
{
    m_pages.clear();
    m_readBack.clear();
    m_file.reset();
    m_fileEnd = 0;
    m_residentBytes = 0;
    m_commandCount = 0;
    m_fonts.clear();
    m_fontIds.clear();
    m_lastFontId = 0;
}

quint16 PageStore::fontId(const ReportFont &font)
{
    // Text after text mostly shares a font: the last one answers without building a key.
    if (m_lastFontId < m_fonts.size() && m_fonts[m_lastFontId] == font)
        return m_lastFontId;
    QByteArray key;
    {
        QDataStream out(&key, QIODevice::WriteOnly);
        out << font;
    }
    const auto known = m_fontIds.constFind(key);
    if (known != m_fontIds.cend())
        return m_lastFontId = *known;
    if (m_fonts.size() >= 0xFFFF)
        throw dbe::Error(QStringLiteral("A report may use at most 65,535 different fonts."));
    const auto id = quint16(m_fonts.size());
    m_fonts.push_back(font);
    m_fontIds.insert(key, id);
    return m_lastFontId = id;
}

QByteArray PageStore::encode(const PageCommandList &commands)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(commands.size());
    for (const auto &command : commands) {
        if (const auto *text = dynamic_cast<const TTextBoxCmd *>(command.get())) {
            out << quint8(KTextBox);
            writeBox(out, *text);
            out << text->Margin << text->DrawBox << text->Text << fontId(text->Font) << text->Flags;
        } else if (const auto *ellipse = dynamic_cast<const TEllipseCmd *>(command.get())) {
            out << quint8(KEllipse);
            writeBox(out, *ellipse);
        } else if (const auto *box = dynamic_cast<const TBoxCmd *>(command.get())) {
            out << quint8(KBox);
            writeBox(out, *box);
        } else if (const auto *line = dynamic_cast<const TLineCmd *>(command.get())) {
            out << quint8(KLine) << line->X1 << line->Y1 << line->X2 << line->Y2 << line->PenWidth;
        } else if (const auto *rotated = dynamic_cast<const TRotateTextCmd *>(command.get())) {
            out << quint8(KRotateText) << rotated->X << rotated->Y << rotated->Text
                << fontId(rotated->Font) << rotated->Angle;
        } else if (const auto *picture = dynamic_cast<const TGraphicCmd *>(command.get())) {
            out << quint8(KGraphic) << picture->X1 << picture->Y1 << picture->X2 << picture->Y2
                << picture->Graphic;
        }
    }
    return qCompress(bytes, CompressionLevel);
}

PageCommandList PageStore::decode(const QByteArray &compressed, int page) const
{
    const QByteArray bytes = qUncompress(compressed);
    QDataStream in(bytes);
    quint32 count = 0;
    in >> count;
    PageCommandList commands;
    commands.reserve(count);
    const auto font = [this, &in] {
        quint16 id = 0;
        in >> id;
        return id < m_fonts.size() ? m_fonts[id] : ReportFont();
    };
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        quint8 kind = 0;
        in >> kind;
        switch (kind) {
        case KTextBox: {
            auto text = std::make_unique<TTextBoxCmd>();
            readBox(in, *text);
            in >> text->Margin >> text->DrawBox >> text->Text;
            text->Font = font();
            in >> text->Flags;
            commands.push_back(std::move(text));
            break;
        }
        case KEllipse:
        case KBox: {
            std::unique_ptr<TBoxCmd> box;
            if (kind == KEllipse)
                box = std::make_unique<TEllipseCmd>();
            else
                box = std::make_unique<TBoxCmd>();
            readBox(in, *box);
            commands.push_back(std::move(box));
            break;
        }
        case KLine: {
            auto line = std::make_unique<TLineCmd>();
            in >> line->X1 >> line->Y1 >> line->X2 >> line->Y2 >> line->PenWidth;
            commands.push_back(std::move(line));
            break;
        }
        case KRotateText: {
            auto rotated = std::make_unique<TRotateTextCmd>();
            in >> rotated->X >> rotated->Y >> rotated->Text;
            rotated->Font = font();
            in >> rotated->Angle;
            commands.push_back(std::move(rotated));
            break;
        }
        case KGraphic: {
            auto picture = std::make_unique<TGraphicCmd>();
            in >> picture->X1 >> picture->Y1 >> picture->X2 >> picture->Y2 >> picture->Graphic;
            commands.push_back(std::move(picture));
            break;
        }
        default:
            in.setStatus(QDataStream::ReadCorruptData);
            break;
        }
    }
    for (const auto &command : commands)
        command->Page = page;
    if (in.status() != QDataStream::Ok || commands.size() != count)
        throw dbe::Error(QStringLiteral("A page of the report could not be read back from its "
                                        "temporary file."),
                         dbe::Error::Io);
    return commands;
}

void PageStore::openFile()
{
    auto file =
        std::make_unique<QTemporaryFile>(cacheFolder() + QStringLiteral("/report-XXXXXX.pages"));
    if (!file->open())
        throw dbe::Error(QStringLiteral("Cannot make a temporary file for the report's pages in "
                                        "%1: %2")
                             .arg(cacheFolder(), file->errorString()),
                         dbe::Error::Io);
    // The open file stays readable and writable; only its name goes.
    QFile::remove(file->fileName());
    file->setAutoRemove(false);
    m_file = std::move(file);
    m_fileEnd = 0;
}

void PageStore::spill(Entry &entry)
{
    const QByteArray bytes = encode(*entry.commands);
    if (!m_file->seek(m_fileEnd) || m_file->write(bytes) != bytes.size())
        throw dbe::Error(QStringLiteral("Cannot write the report's pages to a temporary file: %1")
                             .arg(m_file->errorString()),
                         dbe::Error::Io);
    entry.offset = m_fileEnd;
    entry.bytes = qint32(bytes.size());
    m_fileEnd += bytes.size();
    entry.commands.reset();
    m_residentBytes -= entry.estimate;
}

void PageStore::append(std::shared_ptr<const PageCommandList> commands)
{
    Entry entry;
    entry.firstCommand = m_commandCount;
    m_commandCount += int(commands->size());
    for (const auto &command : *commands)
        entry.estimate += estimatedBytes(*command);
    entry.commands = std::move(commands);
    m_residentBytes += entry.estimate;
    m_pages.push_back(std::move(entry));
    if (m_residentBytes <= m_budget)
        return;
    // Over the budget: every page held so far goes to the file, and each later one as it is
    // finished. A page someone still holds stays alive through its RecordedPage.
    if (!m_file)
        openFile();
    for (Entry &held : m_pages) {
        if (held.commands)
            spill(held);
    }
}

RecordedPage PageStore::page(int page) const
{
    if (page < 1 || page > pageCount())
        return {};
    const Entry &entry = m_pages[size_t(page - 1)];
    if (entry.commands)
        return {entry.commands, entry.firstCommand};
    for (auto it = m_readBack.begin(); it != m_readBack.end(); ++it) {
        if (it->first == page) {
            m_readBack.splice(m_readBack.begin(), m_readBack, it);
            return {it->second, entry.firstCommand};
        }
    }
    QByteArray bytes;
    if (m_file->seek(entry.offset))
        bytes = m_file->read(entry.bytes);
    if (bytes.size() != entry.bytes)
        throw dbe::Error(QStringLiteral("Cannot read page %1 of the report back from its "
                                        "temporary file: %2")
                             .arg(page)
                             .arg(m_file->errorString()),
                         dbe::Error::Io);
    auto commands = std::make_shared<const PageCommandList>(decode(bytes, page));
    m_readBack.emplace_front(page, commands);
    if (m_readBack.size() > ReadBackKept)
        m_readBack.pop_back();
    return {commands, entry.firstCommand};
}

} // namespace report
