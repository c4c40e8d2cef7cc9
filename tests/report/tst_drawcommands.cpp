// How recorded commands land on pixels: the screen's extra pixel of filled shapes, pen widths
// at preview scales, literal ampersands, rotated text and pictures at natural size.

#include "report/drawcmds.h"
#include "report/pagerecorder.h"
#include "report/pagereplay.h"
#include "tests/report/reporttestkit.h"
#include "ui/application.h"

#include <QPainter>
#include <QTest>

using namespace report;
using reporttest::inkBounds;
using reporttest::whitePage;

namespace {

enum class Target { Screen, Paper };

QImage render(const TDrawCmd &command, Target target, double scale, QSize size = {400, 400})
{
    QImage image = whitePage(size.width(), size.height());
    QPainter painter(&image);
    preparePainter(painter);
    if (target == Target::Screen)
        command.Draw(painter, scale);
    else
        command.Print(painter, scale, scale, 0, 0);
    return image;
}

bool dark(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// Rows of ink crossing the column x.
int thicknessAt(const QImage &image, int x)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        rows += dark(image, x, y) ? 1 : 0;
    return rows;
}

} // namespace

class TestDrawCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxCoverage_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("insideInked");
        QTest::addColumn<bool>("rightEdgeInked");
        // A box from 1 to 2 inches at 100 pixels per inch: the edge column is 200.
        QTest::newRow("filled on screen reaches the right edge")
            << int(Target::Screen) << int(bsSolid) << true << true;
        QTest::newRow("filled on paper stops before it")
            << int(Target::Paper) << int(bsSolid) << true << false;
        QTest::newRow("clear on screen is an outline")
            << int(Target::Screen) << int(bsClear) << false << true;
        QTest::newRow("clear on paper is the same outline")
            << int(Target::Paper) << int(bsClear) << false << true;
    }

    void boxCoverage()
    {
        QFETCH(int, target);
        QFETCH(int, style);
        QFETCH(bool, insideInked);
        QFETCH(bool, rightEdgeInked);
        TBoxCmd box;
        box.X1 = box.Y1 = 1.0;
        box.X2 = box.Y2 = 2.0;
        box.PenWidth = 0.01;
        box.BrushStyle = TBrushStyle(style);
        box.BrushColor = Qt::black;
        const QImage image = render(box, Target(target), 100);
        QCOMPARE(dark(image, 150, 150), insideInked);
        QCOMPARE(dark(image, 200, 150), rightEdgeInked);
        QCOMPARE(dark(image, 150, 200), rightEdgeInked);
        QVERIFY(dark(image, 100, 150));
        QVERIFY(!dark(image, 201, 150));
        QVERIFY(!dark(image, 99, 150));
    }

    void ellipseOnScreenCoversOneMorePixel()
    {
        TEllipseCmd ellipse;
        ellipse.X1 = ellipse.Y1 = 1.0;
        ellipse.X2 = ellipse.Y2 = 2.0;
        ellipse.BrushStyle = bsSolid;
        ellipse.BrushColor = Qt::black;
        QCOMPARE(inkBounds(render(ellipse, Target::Screen, 100)), QRect(100, 100, 101, 101));
        QCOMPARE(inkBounds(render(ellipse, Target::Paper, 100)), QRect(100, 100, 100, 100));
    }

    void penWidth_data()
    {
        QTest::addColumn<double>("penWidth");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("pixels");
        QTest::newRow("0.01 in at 100 ppi truncates to 1")
            << 0.01 << 100.0 << int(Target::Screen) << 1;
        QTest::newRow("0.03 in at 100 ppi is 3 pixels")
            << 0.03 << 100.0 << int(Target::Screen) << 3;
        QTest::newRow("0.03 in at 25 ppi truncates to the thinnest pen")
            << 0.03 << 25.0 << int(Target::Screen) << 1;
        QTest::newRow("0.025 in at 100 ppi truncates to 2 on screen")
            << 0.025 << 100.0 << int(Target::Screen) << 2;
        QTest::newRow("0.025 in at 100 ppi rounds to 2 on paper (half to even)")
            << 0.025 << 100.0 << int(Target::Paper) << 2;
        QTest::newRow("0.035 in at 100 ppi rounds to 4 on paper")
            << 0.035 << 100.0 << int(Target::Paper) << 4;
    }

    void penWidth()
    {
        QFETCH(double, penWidth);
        QFETCH(double, scale);
        QFETCH(int, target);
        QFETCH(int, pixels);
        TLineCmd line;
        line.X1 = 0.5;
        line.X2 = 3.5;
        line.Y1 = line.Y2 = 2.0;
        line.PenWidth = penWidth;
        const QImage image = render(line, Target(target), scale);
        QCOMPARE(thicknessAt(image, int(2.0 * scale)), pixels);
    }

    void printedCoordinatesTakeTheOffset()
    {
        TBoxCmd box;
        box.X1 = box.Y1 = 1.0;
        box.X2 = box.Y2 = 2.0;
        box.BrushStyle = bsSolid;
        box.BrushColor = Qt::black;
        QImage image = whitePage(400, 400);
        QPainter painter(&image);
        preparePainter(painter);
        box.Print(painter, 100, 50, -30, 20);
        painter.end();
        QCOMPARE(inkBounds(image), QRect(70, 70, 100, 50));
    }

    void ampersandIsPrintedLiterally()
    {
        TTextBoxCmd withAmpersand;
        withAmpersand.X1 = withAmpersand.Y1 = 0.5;
        withAmpersand.X2 = 3.5;
        withAmpersand.Y2 = 1.5;
        withAmpersand.Font.size = 24;
        withAmpersand.Text = QStringLiteral("A&B");
        TTextBoxCmd without = withAmpersand;
        without.Text = QStringLiteral("AB");
        TTextBoxCmd spelled = withAmpersand;
        spelled.Text = QStringLiteral("A+B");
        for (Target target : {Target::Screen, Target::Paper}) {
            const QRect ampersand = inkBounds(render(withAmpersand, target, 100));
            const QRect plain = inkBounds(render(without, target, 100));
            const QRect plus = inkBounds(render(spelled, target, 100));
            // A mnemonic would drop the "&" (and underline "B"): as narrow as "AB".
            QVERIFY2(
                ampersand.width() > plain.width() + 8,
                qPrintable(QStringLiteral("%1 vs %2").arg(ampersand.width()).arg(plain.width())));
            QVERIFY(qAbs(ampersand.width() - plus.width()) < plain.width() / 2);
            QCOMPARE(ampersand.bottom(), plain.bottom());
        }
    }

    void rotatedTextRunsBottomToTopAt90Degrees()
    {
        TRotateTextCmd text;
        text.X = 1.0;
        text.Y = 3.0;
        text.Font.size = 20;
        text.Text = QStringLiteral("HELLO WORLD");
        text.Angle = 90;
        const QImage upright = [&] {
            TRotateTextCmd flat = text;
            flat.Angle = 0;
            return render(flat, Target::Screen, 100);
        }();
        const QImage rotated = render(text, Target::Screen, 100);
        const QRect flat = inkBounds(upright);
        const QRect turned = inkBounds(rotated);
        // Unrotated: to the right of and below the origin (its top-left corner).
        QVERIFY(flat.left() >= 100 && flat.top() >= 300);
        QVERIFY(flat.width() > 3 * flat.height());
        // At 90°: above the origin, reading upwards, the glyph tops facing left.
        QVERIFY2(turned.bottom() <= 300 && turned.left() >= 100,
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(turned.x())
                                .arg(turned.y())
                                .arg(turned.width())
                                .arg(turned.height())));
        QVERIFY(turned.height() > 3 * turned.width());
        QVERIFY(qAbs(turned.height() - flat.width()) <= 2);
        // The text starts at the origin and grows upwards: a shorter text ends lower.
        TRotateTextCmd shorter = text;
        shorter.Text = QStringLiteral("HELLO");
        const QRect start = inkBounds(render(shorter, Target::Screen, 100));
        QCOMPARE(start.bottom(), turned.bottom());
        QVERIFY(start.top() > turned.top() + 50);
    }

    void pictureAtNaturalSizeCoversItsPixelsInHundredths()
    {
        QImage bitmap(50, 20, QImage::Format_RGB32);
        bitmap.fill(Qt::black);
        PageRecorder pages;
        pages.GraphicImage(bitmap, 1.0, 1.0);
        bitmap.fill(Qt::white); // the command kept its own copy
        const auto *picture = dynamic_cast<const TGraphicCmd *>(&pages.PageCommands(1)[0]);
        QVERIFY(picture);
        QCOMPARE(picture->X2, 1.5);
        QCOMPARE(picture->Y2, 1.2);
        QCOMPARE(inkBounds(render(*picture, Target::Screen, 100)), QRect(100, 100, 50, 20));
        QCOMPARE(inkBounds(render(*picture, Target::Paper, 200)), QRect(200, 200, 100, 40));
    }

    void textBoxFrameOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("drawBox");
        QTest::addColumn<QString>("text");
        QTest::newRow("no frame, empty text") << false << QString();
        QTest::newRow("frame, empty text") << true << QString();
        QTest::newRow("frame around text") << true << QStringLiteral("Hi");
    }

    void textBoxFrameOnlyWhenAsked()
    {
        QFETCH(bool, drawBox);
        QFETCH(QString, text);
        PageRecorder pages;
        pages.DrawBox = drawBox;
        pages.PenWidth = 0.02;
        pages.TextRect(text, 1.0, 1.0, 3.0, 2.0);
        QCOMPARE(pages.CommandCount(), 1);
        const QImage image = render(pages.PageCommands(1)[0], Target::Screen, 100);
        // The frame's left edge: two pixels of pen around column 100.
        int edge = 0;
        for (int x = 96; x <= 104; ++x)
            edge += dark(image, x, 150) ? 1 : 0;
        QCOMPARE(edge, drawBox ? 2 : 0);
        QCOMPARE(inkBounds(image).isEmpty(), !drawBox && text.isEmpty());
    }

    // A report's text box is exactly one line high, measured at 96 pixels per inch; the preview
    // draws the font at its zoom's whole pixel size. Wherever the line falls on the pixel grid,
    // an underscore in the last rows of the line must stay inside the clip.
    void lineHighBoxKeepsItsUnderscores_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("top");
        // (At 25 % the underscores are too faint to count as ink, clipped or not.)
        for (const double scale : {100.0, 50.0, 150.0}) {
            for (const double top : {1.0, 1.2, 1.4, 1.6, 1.8, 2.0, 2.2})
                QTest::addRow("%g%% at %g in", scale, top) << scale << top;
        }
    }

    void lineHighBoxKeepsItsUnderscores()
    {
        QFETCH(double, scale);
        QFETCH(double, top);
        PageRecorder pages;
        ReportFont body;
        body.name = QStringLiteral("Arial");
        body.setPixelHeight(16);
        pages.SetFont(body);
        pages.WordWrap = false;
        const double m = pages.TextMargin;
        pages.StrRect(QStringLiteral("________"), 0.5, top,
                      0.5 + pages.GetTextWidth(QStringLiteral("________")) + 2 * m,
                      top + pages.GetTextHeight(QStringLiteral("X")) + 2 * m);
        const QImage image = render(pages.PageCommands(1)[0], Target::Screen, scale, {400, 400});
        QVERIFY2(!inkBounds(image).isEmpty(), "the underscores were clipped away");
    }

    // Unclipped text lands where drawText puts it; what a clip would cut is refused.
    void unclippedTextMatchesDrawText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<bool>("drawn");
        const int top = Qt::AlignTop | Qt::AlignLeft, wrap = top | Qt::TextWordWrap;
        const QRect roomy(20, 20, 360, 80);
        QTest::newRow("right") << "User 35" << int(Qt::AlignRight) << roomy << true;
        QTest::newRow("centred") << "RIGHT_7" << int(Qt::AlignCenter) << roomy << true;
        QTest::newRow("bottom") << "Date" << int(Qt::AlignBottom) << roomy << true;
        QTest::newRow("may wrap, fits") << "User names" << wrap << roomy << true;
        QTest::newRow("descenders cut") << "gjpqy" << top << QRect(20, 20, 360, 34) << false;
        QTest::newRow("too wide") << "Access Name" << top << QRect(20, 20, 90, 80) << false;
        QTest::newRow("wraps") << "User names" << wrap << QRect(20, 20, 110, 80) << false;
        QTest::newRow("line break") << "one\ntwo" << top << roomy << false;
    }

    void unclippedTextMatchesDrawText()
    {
        QFETCH(QString, text);
        QFETCH(int, flags);
        QFETCH(QRect, box);
        QFETCH(bool, drawn);
        bool answer = false;
        const auto paint = [&](bool unclipped) {
            QImage image = whitePage(400, 200);
            QPainter painter(&image);
            painter.setFont(QFont(QStringLiteral("Arial"), 30)); // 40 pixels
            if (unclipped)
                answer = drawTextUnclipped(painter, box, flags, text);
            else
                painter.drawText(box, flags, text);
            return image;
        };
        const QImage unclipped = paint(true);
        QCOMPARE(answer, drawn);
        QCOMPARE(unclipped, drawn ? paint(false) : whitePage(400, 200));
    }

    // A box looks as printed alone after another (not as that one), though they share state.
    void textBoxAfterAnotherKeepsItsOwnLook_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("size") << 20 << QColor(Qt::black);
        QTest::newRow("colour") << 10 << QColor(Qt::red);
    }

    void textBoxAfterAnotherKeepsItsOwnLook()
    {
        QFETCH(int, size);
        QFETCH(QColor, colour);
        PageRecorder pages;
        pages.TextRect(QStringLiteral("Usage 2025 gjpq"), 0.2, 0.2, 3.8, 0.8);
        pages.Font() = {QStringLiteral("Times Roman"), size, false, false, false, false, colour};
        pages.TextRect(QStringLiteral("Usage 2025 gjpq"), 0.2, 1.2, 3.8, 1.8);
        const auto print = [&pages](int first, int last) {
            QImage image = whitePage(400, 200);
            QPainter painter(&image);
            preparePainter(painter);
            for (int k = first; k <= last; ++k)
                pages.PageCommands(1)[size_t(k)].Print(painter, 100, 100, 0, 0);
            return image;
        };
        const QImage alone = print(1, 1).copy(0, 100, 400, 100);
        QVERIFY(print(0, 0).copy(0, 0, 400, 100) != alone);
        QCOMPARE(print(0, 1).copy(0, 100, 400, 100), alone);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestDrawCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_drawcommands.moc"
