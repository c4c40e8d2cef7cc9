#include "tests/report/reporttestkit.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

namespace reporttest {

dbe::FieldInfo field(const QString &name, dbe::FieldType type, const QString &label, int width,
                     Qt::Alignment alignment)
{
    dbe::FieldInfo info;
    info.name = name;
    info.type = type;
    info.size = type == dbe::FieldType::Alpha ? 40 : 0;
    info.displayLabel = label.isEmpty() ? name : label;
    info.displayWidth = width;
    info.alignment = alignment;
    return info;
}

std::unique_ptr<dbe::MemoryDataSet> numberedRows(const QList<dbe::FieldInfo> &fields, int rows)
{
    QList<QVariantList> content;
    for (int r = 0; r < rows; ++r) {
        QVariantList row;
        for (const dbe::FieldInfo &f : fields) {
            if (f.type == dbe::FieldType::Alpha)
                row.append(f.name + QString::number(r + 1));
            else
                row.append(r + 1);
        }
        content.append(row);
    }
    auto data = std::make_unique<dbe::MemoryDataSet>();
    data->setContent(fields, content);
    return data;
}

namespace {

template <typename Command>
QList<const Command *> commandsOf(const report::PageRecorder &pages, int page)
{
    QList<const Command *> found;
    for (int p = 1; p <= pages.PageCount(); ++p) {
        if (page != 0 && p != page)
            continue;
        for (const auto &command : pages.PageCommands(p)) {
            if (const auto *typed = dynamic_cast<const Command *>(command.get()))
                found.append(typed);
        }
    }
    return found;
}

QString runPoppler(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(20000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfInfoLine(const QString &file, const QString &key)
{
    const QString info = runPoppler(QStringLiteral("pdfinfo"), {file});
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(info).captured(1).trimmed();
}

} // namespace

QList<const report::TTextBoxCmd *> textBoxes(const report::PageRecorder &pages, int page)
{
    return commandsOf<report::TTextBoxCmd>(pages, page);
}

const report::TTextBoxCmd *findText(const report::PageRecorder &pages, const QString &text,
                                    int page)
{
    for (const report::TTextBoxCmd *box : textBoxes(pages, page)) {
        if (box->Text == text)
            return box;
    }
    return nullptr;
}

QList<const report::TLineCmd *> lines(const report::PageRecorder &pages, int page)
{
    return commandsOf<report::TLineCmd>(pages, page);
}

int pdfPageCount(const QString &file)
{
    bool ok = false;
    const int pages = pdfInfoLine(file, QStringLiteral("Pages")).toInt(&ok);
    return ok ? pages : -1;
}

QString pdfPageSize(const QString &file)
{
    return pdfInfoLine(file, QStringLiteral("Page size"));
}

QString pdfText(const QString &file, int page)
{
    return runPoppler(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
                       QStringLiteral("-l"), QString::number(page), file, QStringLiteral("-")});
}

QList<int> pdfSheets(const QString &file)
{
    QList<int> sheets;
    const int count = pdfPageCount(file);
    for (int page = 1; page <= count; ++page) {
        const QString text = pdfText(file, page).simplified();
        sheets.append(text.startsWith(QLatin1String("Sheet "))
                          ? text.mid(6).section(QLatin1Char(' '), 0, 0).toInt()
                          : -1);
    }
    return sheets;
}

QRect inkBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

QImage whitePage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void keepScreenshot(const QImage &image, const QString &name)
{
    const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

} // namespace reporttest
