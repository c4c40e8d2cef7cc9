// A page saved as PDF looks as the same page painted on an image, reads back as the text that
// was written, and carries its fonts as searchable subsets.

#include "report/pageexport.h"
#include "report/pagerecorder.h"
#include "report/pdfobjects.h"
#include "tests/report/reporttestkit.h"
#include "ui/application.h"

#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace report;

namespace {

constexpr int Dpi = 100;

using Drawing = std::function<void(PageRecorder &)>;

void text(PageRecorder &page, const QString &line, double top, TAlignment alignment,
          int points = 12, double height = 0.25)
{
    page.SetAlignment(alignment);
    page.Font().size = points;
    page.TextRect(line, 0.5, top, 3.5, top + height);
}

QImage pdfPicture(const QString &pdf, const QString &prefix)
{
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(Dpi),
                                                   QStringLiteral("-png"), QStringLiteral("-singlefile"),
                                                   pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

bool darkNear(const QImage &image, int x, int y)
{
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (image.rect().contains(nx, ny) && qGray(image.pixel(nx, ny)) < 160)
                return true;
        }
    }
    return false;
}

// The share of one picture's dark pixels that the other has within a pixel.
double matched(const QImage &from, const QImage &in)
{
    int dark = 0, found = 0;
    for (int y = 0; y < from.height(); ++y) {
        for (int x = 0; x < from.width(); ++x) {
            if (qGray(from.pixel(x, y)) >= 96)
                continue;
            ++dark;
            found += darkNear(in, x, y) ? 1 : 0;
        }
    }
    return dark == 0 ? 1.0 : double(found) / dark;
}

// Hatch lines are thinner than a pixel here and fall between pixels: any grey counts.
int darkPixels(const QImage &image, const QRect &area)
{
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            dark += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
    return dark;
}

} // namespace

class TestPdfDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Page content numbers: three decimals at most, no exponent, nothing a reader would refuse.
    void numbersInPageContent_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("whole") << 1200.0 << QByteArray("1200");
        QTest::newRow("negative fraction") << -0.06 << QByteArray("-0.06");
        QTest::newRow("rounded up into the units") << 2.9996 << QByteArray("3");
        QTest::newRow("rounded away from zero") << -1.0006 << QByteArray("-1.001");
        QTest::newRow("too small to show") << -0.0004 << QByteArray("0");
        QTest::newRow("large") << 123456789.125 << QByteArray("123456789.125");
        QTest::newRow("not a number") << qQNaN() << QByteArray("0");
    }

    void numbersInPageContent()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, written);
        QByteArray out("x ");
        pdf::appendNumber(out, value);
        QCOMPARE(out, "x " + written);
    }

    void pageLooksAsPaintedAndReadsBack_data()
    {
        QTest::addColumn<Drawing>("draw");
        QTest::addColumn<QStringList>("words");

        QTest::newRow("aligned lines") << Drawing([](PageRecorder &p) {
            text(p, QStringLiteral("Left 1/1/2025 00:08:30"), 0.5, taLeftJustify);
            text(p, QStringLiteral("Right RIGHT_35"), 0.9, taRightJustify);
            text(p, QStringLiteral("Centred User 35"), 1.3, taCenter, 18, 0.35);
        }) << QStringList{"Left", "1/1/2025", "00:08:30", "RIGHT_35", "Centred", "User"};
        // Kerned pairs and a ligature go through the full layout; an underscore below a box
        // too short for it is clipped there.
        QTest::newRow("kerned, joined and clipped") << Drawing([](PageRecorder &p) {
            text(p, QStringLiteral("AVATAR Today office"), 0.5, taLeftJustify, 20, 0.4);
            text(p, QStringLiteral("under_score"), 1.2, taLeftJustify, 14, 0.2);
        }) << QStringList{"AVATAR", "Today", "office", "under_score"};
        QTest::newRow("wrapped, Greek and combining marks") << Drawing([](PageRecorder &p) {
            p.WordWrap = true;
            p.SetAlignment(taLeftJustify);
            p.TextRect(QStringLiteral("A line long enough to wrap onto a second line of its box"),
                       0.5, 0.5, 2.5, 1.2);
            text(p, QStringLiteral("Καλημέρα Zoë e\u0301te"), 1.5, taLeftJustify);
        }) << QStringList{"wrap", "second", "Καλημέρα", "Zoë"};
        QTest::newRow("rotated text") << Drawing([](PageRecorder &p) {
            p.Font().size = 16;
            p.RotateText(QStringLiteral("Upwards"), 1, 2.5, 90);
            p.RotateText(QStringLiteral("Slanted"), 2, 2, 30);
        }) << QStringList{"Upwards"}; // a reader takes slanted text apart
        QTest::newRow("lines, boxes and ellipses") << Drawing([](PageRecorder &p) {
            p.PenWidth = 0.03;
            p.Line(0.5, 0.5, 3.5, 2.5);
            p.Box(0.5, 0.5, 3.5, 2.5);
            p.Brush().style = bsSolid;
            p.Brush().color = QColor(40, 40, 160);
            p.Ellipse(1, 1, 2, 2);
        }) << QStringList{};
        QTest::newRow("picture") << Drawing([](PageRecorder &p) {
            QImage picture(60, 40, QImage::Format_ARGB32);
            picture.fill(Qt::transparent);
            QPainter painter(&picture);
            painter.fillRect(0, 0, 30, 40, Qt::black);
            painter.fillRect(30, 10, 30, 20, QColor(0, 0, 0, 255));
            painter.end();
            p.SizedImage(picture, 1, 1, 2.5, 2);
        }) << QStringList{};
    }

    void pageLooksAsPaintedAndReadsBack()
    {
        QFETCH(Drawing, draw);
        QFETCH(QStringList, words);
        PageRecorder pages;
        pages.SetPageSize(4, 3);
        pages.Build([&](PageRecorder &p) { draw(p); });
        const QString pdf = m_dir.filePath(QStringLiteral("page.pdf"));
        exportPdf(pages, pdf);
        const QImage painted(exportPng(pages, m_dir.filePath(QStringLiteral("painted.png")), Dpi)
                                 .constFirst());
        const QImage shown = pdfPicture(pdf, m_dir.filePath(QStringLiteral("shown")));
        reporttest::keepScreenshot(shown, QStringLiteral("pdf-%1").arg(QTest::currentDataTag()));
        QCOMPARE(shown.size(), painted.size());
        // The rasterisers smooth and hint small glyphs differently; the shapes must lie where
        // they lie.
        QVERIFY2(matched(painted, shown) > 0.95, qPrintable(QString::number(matched(painted, shown))));
        QVERIFY2(matched(shown, painted) > 0.95, qPrintable(QString::number(matched(shown, painted))));

        const QString read = reporttest::pdfText(pdf, 1);
        for (const QString &word : words)
            QVERIFY2(read.contains(word), qPrintable(read));
    }

    // Hatches are drawn a twelfth of an inch apart, as the screen shows them.
    void hatchesFillTheirBox_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("fullRows");
        QTest::addColumn<bool>("fullColumns");
        QTest::newRow("horizontal") << int(bsHorizontal) << true << false;
        QTest::newRow("vertical") << int(bsVertical) << false << true;
        QTest::newRow("cross") << int(bsCross) << true << true;
        QTest::newRow("forward diagonal") << int(bsFDiagonal) << false << false;
        QTest::newRow("diagonal cross") << int(bsDiagCross) << false << false;
    }

    void hatchesFillTheirBox()
    {
        QFETCH(int, style);
        QFETCH(bool, fullRows);
        QFETCH(bool, fullColumns);
        PageRecorder pages;
        pages.SetPageSize(4, 3);
        pages.Build([&](PageRecorder &p) {
            p.Brush().style = TBrushStyle(style);
            p.Brush().color = Qt::black;
            p.Box(1, 1, 3, 2);
        });
        const QString pdf = m_dir.filePath(QStringLiteral("hatch.pdf"));
        exportPdf(pages, pdf);
        const QImage painted(exportPng(pages, m_dir.filePath(QStringLiteral("hatch.png")), Dpi)
                                 .constFirst());
        const QImage shown = pdfPicture(pdf, m_dir.filePath(QStringLiteral("hatch")));
        const QRect inside(110, 110, 180, 80);
        const int paintedInk = darkPixels(painted, inside);
        const int shownInk = darkPixels(shown, inside);
        // A line between two pixel rows greys both; a solid fill would be eight times as dark.
        QVERIFY2(shownInk > paintedInk / 2 && shownInk < paintedInk * 5 / 2,
                 qPrintable(QStringLiteral("%1 against %2").arg(shownInk).arg(paintedInk)));
        bool row = false, column = false;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            row |= darkPixels(shown, QRect(inside.left(), y, inside.width(), 1)) == inside.width();
        for (int x = inside.left(); x <= inside.right(); ++x)
            column |= darkPixels(shown, QRect(x, inside.top(), 1, inside.height())) == inside.height();
        QCOMPARE(row, fullRows);
        QCOMPARE(column, fullColumns);
        QVERIFY(darkPixels(shown, QRect(20, 20, 60, 60)) == 0); // nothing outside the box
    }

    // Each face goes in as a subset of the glyphs used, with the map back to text.
    void fontsAreSearchableSubsets()
    {
        PageRecorder pages;
        pages.Build([&](PageRecorder &p) {
            text(p, QStringLiteral("Plain"), 0.5, taLeftJustify);
            p.Font().bold = true;
            text(p, QStringLiteral("Bold"), 1, taLeftJustify);
        });
        const QString pdf = m_dir.filePath(QStringLiteral("fonts.pdf"));
        exportPdf(pages, pdf);
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(fonts.waitForFinished(20000));
        const QStringList lines = QString::fromUtf8(fonts.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                      .mid(2);
        QCOMPARE(lines.size(), 2);
        for (const QString &line : lines) {
            QVERIFY2(line.contains(QRegularExpression(QStringLiteral("^[A-Z]{6}\\+"))), qPrintable(line));
            QVERIFY2(line.contains(QRegularExpression(QStringLiteral("yes +yes +yes"))), qPrintable(line));
        }
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char **argv)
{
    ui::Application app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestPdfDocument test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pdfdocument.moc"
