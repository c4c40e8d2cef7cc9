// The report engine at the size of a large security database: 10,000 records of 8 fields,
// about 300 landscape pages. Built headless and into the preview, shown, zoomed and paged,
// saved as PDF and printed to a PDF printer, and aborted half-way.

#include "dbe/dataset.h"
#include "dbe/error.h"
#include "report/frmgenwn.h"
#include "report/pageexport.h"
#include "report/prtabunt.h"
#include "report/rptdsgn.h"
#include "rules/schema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int Rows = 10000;

std::unique_ptr<dbe::MemoryDataSet> securityLikeRows()
{
    QList<dbe::FieldInfo> fields;
    const auto add = [&fields](const QString &name, dbe::FieldType type, int width,
                               Qt::Alignment alignment = Qt::AlignLeft) {
        dbe::FieldInfo info;
        info.name = name;
        info.type = type;
        info.displayLabel = name;
        info.displayWidth = width;
        info.alignment = alignment;
        fields.append(info);
    };
    add(security::fields::UserId, dbe::FieldType::LongInt, 6, Qt::AlignHCenter);
    add(security::fields::UserName, dbe::FieldType::Alpha, 16);
    add(security::fields::UserDef1, dbe::FieldType::Alpha, 14);
    add(security::fields::UserDef2, dbe::FieldType::Alpha, 10);
    add(security::fields::UserLastAccess, dbe::FieldType::Timestamp, 18);
    add(security::fields::UserAccessCount, dbe::FieldType::LongInt, 6, Qt::AlignRight);
    add(security::fields::UserEnabled, dbe::FieldType::Logical, 5, Qt::AlignHCenter);
    add(security::fields::UserAdmin, dbe::FieldType::Logical, 5, Qt::AlignHCenter);
    QList<QVariantList> rows;
    rows.reserve(Rows);
    const QDateTime start(QDate(2026, 1, 5), QTime(8, 0));
    for (int r = 1; r <= Rows; ++r)
        rows.append({r, QStringLiteral("User %1").arg(r),
                     QStringLiteral("Department %1").arg(r % 37),
                     QStringLiteral("x%1").arg(r * 7 % 1000), start.addSecs(r * 61), r % 500,
                     r % 3 != 0, r % 50 == 0});
    auto data = std::make_unique<dbe::MemoryDataSet>();
    data->setContent(fields, rows);
    return data;
}

struct Fixture {
    std::unique_ptr<dbe::MemoryDataSet> data = securityLikeRows();
    TReportDesign design;

    Fixture()
    {
        design.SetDataSet(data.get());
        design.SetTitle(QStringLiteral("User Report"));
        design.SetSubTitle(QStringLiteral("Alias: BENCH"));
        design.SetDividerStyle(dvsSolid);
        design.SetDatePosition(dpLeft);
        design.SetPageNumLocation(pnsBottomCenter);
        design.SetFields({"User_ID", "User_Name", "User_Def1", "User_Def2", "User_LastAccess",
                          "User_AccessCount", "User_Enabled", "User_Admin"});
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

TFormGenWin &builtPreview()
{
    static TFormGenWin *preview = [] {
        auto *generator = new TFormGenWin;
        generator->SetOptions({});
        fixture().design.SetFormComponent(generator);
        fixture().design.Execute();
        return generator;
    }();
    return *preview;
}

void BM_BuildHeadless(benchmark::State &state)
{
    report::PageRecorder pages;
    for (auto _ : state)
        fixture().design.BuildPages(pages);
    state.counters["pages"] = pages.PageCount();
    state.counters["commands"] = pages.CommandCount();
}
BENCHMARK(BM_BuildHeadless)->Unit(benchmark::kMillisecond);

void BM_BuildIntoPreview(benchmark::State &state)
{
    TFormGenWin generator;
    generator.SetOptions({foShowDialog});
    fixture().design.SetFormComponent(&generator);
    for (auto _ : state)
        fixture().design.Execute();
    state.counters["pages"] = generator.PageCount();
}
BENCHMARK(BM_BuildIntoPreview)->Unit(benchmark::kMillisecond);

// What the paint box does on a repaint, at the sheet size of the zoom level.
void paintSheet(const TFormGenWin &generator)
{
    QImage sheet(generator.PaintBox()->size(), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    generator.PaintPage(painter, sheet.size());
}

void BM_ShowPage(benchmark::State &state)
{
    TFormGenWin &generator = builtPreview();
    generator.SetZoomLevel(1);
    for (auto _ : state)
        paintSheet(generator);
    state.counters["commandsOnPage"] = double(generator.PageCommands(1).size());
}
BENCHMARK(BM_ShowPage)->Unit(benchmark::kMillisecond);

void BM_ZoomAndRepaint(benchmark::State &state)
{
    TFormGenWin &generator = builtPreview();
    for (auto _ : state) {
        generator.Zoom();
        paintSheet(generator);
    }
}
BENCHMARK(BM_ZoomAndRepaint)->Unit(benchmark::kMillisecond);

void BM_NextPageAndRepaint(benchmark::State &state)
{
    TFormGenWin &generator = builtPreview();
    generator.SetZoomLevel(1);
    bool forward = true;
    for (auto _ : state) {
        // Back and forth through the whole report.
        if (generator.CurrentPage() == generator.PageCount())
            forward = false;
        else if (generator.CurrentPage() == 1)
            forward = true;
        if (forward)
            generator.NextPage();
        else
            generator.PrevPage();
        paintSheet(generator);
    }
}
BENCHMARK(BM_NextPageAndRepaint)->Unit(benchmark::kMillisecond);

void BM_SavePdf(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    for (auto _ : state) {
        try {
            report::exportPdf(builtPreview(), file);
        } catch (const dbe::Error &error) {
            state.SkipWithError(qPrintable(error.text()));
        }
    }
    state.counters["pages"] = builtPreview().PageCount();
}
BENCHMARK(BM_SavePdf)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PrintToPdfPrinter(benchmark::State &state)
{
    QTemporaryDir dir;
    TFormGenWin &generator = builtPreview();
    generator.SetOptions({});
    QPrinter &printer = generator.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
    for (auto _ : state) {
        if (!generator.Print())
            state.SkipWithError("printing failed");
    }
}
BENCHMARK(BM_PrintToPdfPrinter)->Unit(benchmark::kMillisecond)->Iterations(2);

// The floor of Qt's PDF engine: 500 landscape pages of the Usage report's density (144 runs of
// about ten glyphs a page), written by QPdfWriter with nothing of the report engine around it.
// Arguments: text runs per page, and 0 for drawText at a point (no layout, no clip) or 1 for a
// box with alignment flags, the way text boxes draw (layout, and a clip where the line is
// taller than the box), or 2 for a box the line fits (layout without the clip). The engine writes every glyph as its own positioned operator and
// compresses each page, so the time grows with the glyphs whatever the caller does.
void BM_PdfWriterFloor(benchmark::State &state)
{
    constexpr int Pages = 500;
    const int runs = int(state.range(0));
    const bool boxes = state.range(1) != 0;
    QTemporaryDir dir;
    for (auto _ : state) {
        QPdfWriter writer(dir.filePath(QStringLiteral("floor.pdf")));
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                         QMarginsF(0, 0, 0, 0)));
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("Arial"), 10));
        for (int page = 0; page < Pages; ++page) {
            for (int run = 0; run < runs; ++run) {
                const QString text = QStringLiteral("2025-01-%1 %2").arg(run % 28 + 1).arg(page);
                const int x = 600 + (run % 4) * 3000;
                const int y = 1200 + (run / 4) * 200;
                if (boxes)
                    painter.drawText(QRect(x, y, 2800, state.range(1) == 2 ? 240 : 180),
                                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
                else
                    painter.drawText(QPoint(x, y + 150), text);
            }
            if (page + 1 < Pages)
                writer.newPage();
        }
    }
    state.counters["ms_per_page"] = benchmark::Counter(
        Pages * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PdfWriterFloor)
    ->Args({0, 0})
    ->Args({144, 0})
    ->Args({144, 1})
    ->Args({144, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// From the Abort click to Print returning, with the click at a third of the job.
void BM_AbortLatency(benchmark::State &state)
{
    QTemporaryDir dir;
    TFormGenWin &generator = builtPreview();
    generator.SetOptions({});
    QPrinter &printer = generator.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("aborted.pdf")));
    for (auto _ : state) {
        QElapsedTimer sinceClick;
        auto *watch = new QTimer;
        QObject::connect(watch, &QTimer::timeout, [&sinceClick, watch] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<TfrmPrintAbort *>(window);
                if (box && box->isVisible() && box->prbarStat->value() >= 33) {
                    watch->stop();
                    sinceClick.start();
                    box->BitBtn1->click();
                }
            }
        });
        watch->start(1);
        generator.Print();
        state.SetIterationTime(sinceClick.isValid() ? sinceClick.nsecsElapsed() / 1e9 : 0);
        delete watch;
    }
}
BENCHMARK(BM_AbortLatency)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
