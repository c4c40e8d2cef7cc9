// The page generator: recording rules, the zoom table, paging, the please-wait box, keys and
// mouse routing; and the navigator bar that drives it.

#include "dbe/error.h"
#include "report/frmgennav.h"
#include "report/frmgenwn.h"
#include "report/plswtunt.h"
#include "tests/report/reporttestkit.h"
#include "ui/application.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace report;
using reporttest::inkBounds;

namespace {

// A three-page report of one text box per page.
void buildThreePages(TFormGenWin &generator)
{
    generator.SetOptions({});
    generator.SetOnBuildReport([&generator](QObject *) {
        for (int page = 1; page <= 3; ++page) {
            if (page > 1)
                generator.NewPage();
            generator.StrRect(QStringLiteral("Page %1").arg(page), 1, 1, 4, 2);
        }
    });
    generator.Execute();
}

QImage sheetImage(const TFormGenWin &generator)
{
    return generator.PaintBox()->grab().toImage();
}

QList<bool> enabled(const TFormGenNav &nav)
{
    QList<bool> states;
    for (int i = 0; i < 5; ++i)
        states.append(nav.Button(i)->isEnabled());
    return states;
}

} // namespace

class TestFormGenWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zoomTable_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("value");
        QTest::addColumn<QSize>("sheet");
        QTest::addColumn<int>("level");
        QTest::newRow("level 1") << "level" << 1 << QSize(850, 1100) << 1;
        QTest::newRow("level 2 is 50 %") << "level" << 2 << QSize(425, 550) << 2;
        QTest::newRow("level 3 is 25 %, 212.5 rounds to even")
            << "level" << 3 << QSize(212, 275) << 3;
        QTest::newRow("level 4 is not a level") << "level" << 4 << QSize(850, 1100) << 1;
        QTest::newRow("150 %") << "percent" << 150 << QSize(1275, 1650) << 4;
        QTest::newRow("24 % is ignored") << "percent" << 24 << QSize(850, 1100) << 1;
        QTest::newRow("201 % is ignored") << "percent" << 201 << QSize(850, 1100) << 1;
        QTest::newRow("25 % is allowed") << "percent" << 25 << QSize(212, 275) << 4;
    }

    void zoomTable()
    {
        QFETCH(QString, operation);
        QFETCH(int, value);
        QFETCH(QSize, sheet);
        QFETCH(int, level);
        TFormGenWin generator;
        if (operation == QLatin1String("level"))
            generator.SetZoomLevel(value);
        else
            generator.SetZoomPercent(value);
        QCOMPARE(generator.PaintBox()->size(), sheet);
        QCOMPARE(generator.ZoomLevel(), level);
    }

    void zoomCycles()
    {
        TFormGenWin generator;
        QList<int> levels;
        for (int i = 0; i < 3; ++i) {
            generator.Zoom();
            levels.append(generator.ZoomLevel());
        }
        QCOMPARE(levels, (QList<int>{2, 3, 1}));
        generator.SetZoomPercent(75);
        generator.Zoom();
        QCOMPARE(generator.ZoomLevel(), 1);
        QCOMPARE(generator.PaintBox()->size(), QSize(850, 1100));
        QCOMPARE(generator.ZoomPercent(), 75); // levels leave the free percentage alone
    }

    void landscapeSheetAndScale_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QSize>("sheet");
        QTest::addColumn<int>("pixelsPerInch");
        QTest::newRow("100 %") << 1 << QSize(1100, 850) << 100;
        QTest::newRow("50 %") << 2 << QSize(550, 425) << 50;
    }

    void landscapeSheetAndScale()
    {
        QFETCH(int, level);
        QFETCH(QSize, sheet);
        QFETCH(int, pixelsPerInch);
        TFormGenWin generator;
        generator.SetPhyWidth(110);
        generator.SetPhyHeight(85);
        generator.SetZoomLevel(level);
        QCOMPARE(generator.PageWidth(), 11.0);
        QCOMPARE(generator.PaintBox()->size(), sheet);
        generator.Brush().style = bsSolid;
        generator.Brush().color = Qt::black;
        generator.Box(2, 2, 3, 3);
        const QImage image = sheetImage(generator);
        // The sheet's border, then a box from 2 to 3 inches (one extra pixel on screen).
        QCOMPARE(
            inkBounds(image.copy(5, 5, image.width() - 10, image.height() - 10)).translated(5, 5),
            QRect(2 * pixelsPerInch, 2 * pixelsPerInch, pixelsPerInch + 1, pixelsPerInch + 1));
        QCOMPARE(qGray(image.pixel(0, 0)), 0);
        QCOMPARE(qGray(image.pixel(sheet.width() - 1, sheet.height() - 1)), 0);
    }

    void clearKeepsTheZoomedSheet()
    {
        TFormGenWin generator;
        generator.Zoom();
        generator.PenWidth = 0.5;
        generator.Font().size = 30;
        generator.Font().color = Qt::red;
        generator.Line(0, 0, 1, 1);
        generator.Clear();
        QCOMPARE(generator.CommandCount(), 0);
        QCOMPARE(generator.ZoomLevel(), 1);
        QCOMPARE(generator.PaintBox()->size(), QSize(425, 550));
        QCOMPARE(generator.PenWidth, 0.01);
        QCOMPARE(generator.Font().size, 10);
        QCOMPARE(generator.Font().name, QStringLiteral("Times Roman"));
        QCOMPARE(generator.Font().color, QColor(Qt::red)); // the colour stays
        generator.Zoom();
        QCOMPARE(generator.ZoomLevel(), 2);
        QCOMPARE(generator.PaintBox()->size(), QSize(425, 550));
    }

    void addLine()
    {
        TFormGenWin generator;
        generator.StartMultiLine(1.0, 2.0);
        generator.AddLine(QString());
        QCOMPARE(generator.CommandCount(), 0);
        QCOMPARE(generator.MultiY, 2.0);
        generator.Font().size = 12;
        generator.WordWrap = true;
        generator.SetAlignment(taCenter);
        generator.AddLine(QStringLiteral("first"));
        QCOMPARE(generator.MultiY, 2.0 + 1.0 / 6);
        const auto boxes = reporttest::textBoxes(generator);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->Flags, dt::NoClip); // left, unwrapped, whatever the settings
        QCOMPARE(boxes[0]->X2, 8.5);
        QCOMPARE(boxes[0]->Y2, 11.0);
        QCOMPARE(boxes[0]->Margin, 0.0);
    }

    void emptyTexts()
    {
        TFormGenWin generator;
        generator.StrRect(QString(), 1, 1, 2, 2);
        QCOMPARE(generator.CommandCount(), 0);
        generator.TextRect(QString(), 1, 1, 2, 2);
        QCOMPARE(generator.CommandCount(), 1);
    }

    void textFlags_data()
    {
        QTest::addColumn<bool>("wordWrap");
        QTest::addColumn<bool>("clipText");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("centerVertically");
        QTest::addColumn<int>("flags");
        QTest::newRow("defaults") << true << true << int(taLeftJustify) << false << 16;
        QTest::newRow("no clip, no wrap") << false << false << int(taLeftJustify) << false << 256;
        QTest::newRow("centred") << false << true << int(taCenter) << false << 1;
        QTest::newRow("right") << false << true << int(taRightJustify) << false << 2;
        QTest::newRow("vertically centred") << false << true << int(taLeftJustify) << true << 36;
    }

    void textFlags()
    {
        QFETCH(bool, wordWrap);
        QFETCH(bool, clipText);
        QFETCH(int, alignment);
        QFETCH(bool, centerVertically);
        QFETCH(int, flags);
        TFormGenWin generator;
        generator.WordWrap = wordWrap;
        generator.ClipText = clipText;
        generator.SetAlignment(TAlignment(alignment));
        generator.CenterVertically = centerVertically;
        generator.TextMargin = 0.1;
        generator.StrRect(QStringLiteral("x"), 1, 1, 2, 2);
        const auto *box = reporttest::textBoxes(generator).value(0);
        QVERIFY(box);
        QCOMPARE(int(box->Flags), flags);
        QCOMPARE(box->Margin, 0.1);
    }

    void pagingStaysWithinTheReport()
    {
        TFormGenWin generator;
        int changes = 0;
        generator.SetOnChange([&changes](QObject *) { ++changes; });
        buildThreePages(generator);
        QCOMPARE(generator.PageCount(), 3);
        QCOMPARE(generator.CurrentPage(), 1);
        QCOMPARE(changes, 1);
        generator.PrevPage();
        QCOMPARE(changes, 1);
        generator.NextPage();
        generator.NextPage();
        generator.NextPage();
        QCOMPARE(generator.CurrentPage(), 3);
        QCOMPARE(changes, 3);
        QCOMPARE(generator.PageCommands(3).size(), size_t(1));
        // Only the current page is drawn.
        const QImage third = sheetImage(generator);
        generator.PrevPage();
        QVERIFY(sheetImage(generator) != third);
        generator.Execute();
        QCOMPARE(generator.CurrentPage(), 1);
    }

    void pleaseWaitBoxLivesOnlyWhileBuilding_data()
    {
        QTest::addColumn<bool>("producerThrows");
        QTest::newRow("sound build") << false;
        QTest::newRow("the producer throws: box freed, pages kept") << true;
    }

    void pleaseWaitBoxLivesOnlyWhileBuilding()
    {
        QFETCH(bool, producerThrows);
        TFormGenWin generator;
        generator.SetOptions({foShowDialog});
        QString shownText;
        bool visible = false;
        generator.SetOnBuildReport([&](QObject *sender) {
            QCOMPARE(sender, &generator);
            auto *box = generator.findChild<TfrmPlsWt *>();
            QVERIFY(box);
            visible = box->isVisible();
            shownText = box->lblMsg->text();
            generator.StrRect(QStringLiteral("one"), 1, 1, 2, 2);
            if (producerThrows)
                throw dbe::Error(QStringLiteral("table vanished"));
        });
        if (producerThrows)
            QVERIFY_THROWS_EXCEPTION(dbe::Error, generator.Execute());
        else
            generator.Execute();
        QVERIFY(visible);
        QCOMPARE(shownText, QStringLiteral("Creating the Report"));
        QVERIFY(!generator.findChild<TfrmPlsWt *>());
        QCOMPARE(generator.CommandCount(), 1);
    }

    void pictureOfThePleaseWaitBox()
    {
        TfrmPlsWt box;
        box.SetMessage(QStringLiteral("Creating the Report"));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.size(), QSize(324, 124)); // with room for the page count and Cancel
        QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
        // Both texts fit the box.
        QVERIFY(box.lblPleaseWait->geometry().right() < box.width());
        QVERIFY(box.lblMsg->fontMetrics().horizontalAdvance(box.lblMsg->text()) <=
                box.lblMsg->width());
        reporttest::keepScreenshot(box.grab().toImage(), QStringLiteral("please_wait"));
    }

    void keysScrollThePage()
    {
        TFormGenWin generator;
        generator.resize(300, 300);
        generator.show();
        QVERIFY(QTest::qWaitForWindowExposed(&generator));
        QScrollBar *vertical = generator.ScrollBox()->verticalScrollBar();
        QScrollBar *horizontal = generator.ScrollBox()->horizontalScrollBar();
        QTest::keyClick(&generator, Qt::Key_PageDown);
        QVERIFY(vertical->value() > 0);
        QTest::keyClick(&generator, Qt::Key_PageUp);
        QCOMPARE(vertical->value(), 0);
        QTest::keyClick(&generator, Qt::Key_Right);
        QVERIFY(horizontal->value() > 0);
        QTest::keyClick(&generator, Qt::Key_Left);
        QCOMPARE(horizontal->value(), 0);
    }

    void clicksOnThePageReachTheGenerator_data()
    {
        QTest::addColumn<bool>("tabStop");
        QTest::newRow("tab stop: focus, then click") << true;
        QTest::newRow("no tab stop: click only") << false;
    }

    void clicksOnThePageReachTheGenerator()
    {
        QFETCH(bool, tabStop);
        QWidget window;
        auto *other = new QToolButton(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        auto *generator = new TFormGenWin(&window);
        generator->setGeometry(0, 30, 300, 300);
        generator->SetTabStop(tabStop);
        window.resize(300, 330);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        other->setFocus();
        QSignalSpy clicks(generator, &TFormGenWin::OnClick);
        QSignalSpy downs(generator, &TFormGenWin::OnMouseDown);
        QTest::mouseClick(generator->PaintBox(), Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(downs.size(), 1);
        // In the generator's own coordinates, not the paint box's.
        QCOMPARE(downs.at(0).at(2).toPoint(),
                 generator->PaintBox()->mapTo(generator, QPoint(20, 10)));
        QCOMPARE(generator->hasFocus(), tabStop);
    }

    // Navigator.

    void navigatorFollowsTheGenerator()
    {
        TFormGenWin generator;
        TFormGenNav nav;
        nav.SetFormComponent(&generator);
        // Nothing recorded: print and clear off, page 1 of 1.
        QCOMPARE(enabled(nav), (QList<bool>{true, false, false, false, false}));
        buildThreePages(generator);
        QCOMPARE(enabled(nav), (QList<bool>{true, true, false, true, true}));
        nav.show();
        QVERIFY(QTest::qWaitForWindowExposed(&nav));
        // Any mouse button acts.
        QTest::mouseClick(nav.Button(3), Qt::RightButton);
        QCOMPARE(generator.CurrentPage(), 2);
        QTest::mouseClick(nav.Button(3), Qt::LeftButton);
        QCOMPARE(generator.CurrentPage(), 3);
        QCOMPARE(enabled(nav), (QList<bool>{true, true, true, false, true}));
        nav.Button(4)->click();
        QCOMPARE(generator.CommandCount(), 0);
        QCOMPARE(enabled(nav), (QList<bool>{true, false, false, false, false}));
    }

    void navEventCanCancel_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("kind");
        QTest::newRow("print") << 1 << int(fgePrint);
        QTest::newRow("next page") << 3 << int(fgeNextPage);
        QTest::newRow("clear") << 4 << int(fgeClear);
    }

    void navEventCanCancel()
    {
        QFETCH(int, button);
        QFETCH(int, kind);
        TFormGenWin generator;
        TFormGenNav nav;
        nav.SetFormComponent(&generator);
        buildThreePages(generator);
        generator.SetOptions({foShowPrint}); // a print dialog would block: none may come
        QList<int> asked;
        nav.SetOnNavEvent([&](TFormGenNav *sender, TFGEvent event, bool &doDefault) {
            QCOMPARE(sender, &nav);
            asked.append(int(event));
            doDefault = false;
        });
        nav.Button(button)->click();
        QCOMPARE(asked, QList<int>{kind});
        QCOMPARE(generator.CurrentPage(), 1);
        QCOMPARE(generator.CommandCount(), 3);
    }

    void zoomBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QSize>("sheet");
        QTest::newRow("50") << "50" << 50 << QSize(425, 550);
        QTest::newRow("not a number means 100") << "abc" << 100 << QSize(850, 1100);
        QTest::newRow("300 changes nothing") << "300" << 75 << QSize(638, 825);
        QTest::newRow("10 changes nothing") << "10" << 75 << QSize(638, 825);
    }

    void zoomBox()
    {
        QFETCH(QString, text);
        QFETCH(int, percent);
        QFETCH(QSize, sheet);
        TFormGenWin generator;
        TFormGenNav nav;
        nav.SetFormComponent(&generator);
        nav.ZoomBox()->setEditText(QStringLiteral("75"));
        QCOMPARE(generator.ZoomPercent(), 75);
        nav.ZoomBox()->setEditText(text);
        QCOMPARE(generator.ZoomPercent(), percent);
        QCOMPARE(generator.PaintBox()->size(), sheet);
    }

    void layout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<int>>("visible"); // TVisBtnType values
        QTest::addColumn<int>("buttonWidth");
        QTest::addColumn<int>("barWidth");
        QTest::addColumn<QList<bool>>("shown");
        QTest::newRow("four buttons and the zoom box in 160")
            << 160 << QList<int>{nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear} << 23 << 160
            << QList<bool>{false, true, true, true, true};
        QTest::newRow("all six in 177")
            << 177 << QList<int>{nbExecute, nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear} << 21
            << 173 << QList<bool>{true, true, true, true, true};
        QTest::newRow("three buttons without zoom in 100")
            << 100 << QList<int>{nbPrint, nbPrevPage, nbNextPage} << 32 << 100
            << QList<bool>{false, true, true, true, false};
        QTest::newRow("an empty set shows the build button")
            << 100 << QList<int>{} << 96 << 100 << QList<bool>{true, false, false, false, false};
    }

    void layout()
    {
        QFETCH(int, width);
        QFETCH(QList<int>, visible);
        QFETCH(int, buttonWidth);
        QFETCH(int, barWidth);
        QFETCH(QList<bool>, shown);
        TFormGenNav nav;
        nav.resize(width, 25);
        TVisBtnSet set;
        for (int kind : visible)
            set.include(TVisBtnType(kind));
        nav.SetVisibleButtons(set);
        QCOMPARE(nav.width(), barWidth);
        int left = 1;
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(nav.Button(i)->isVisibleTo(&nav), shown.at(i));
            if (!shown.at(i))
                continue;
            QCOMPARE(nav.Button(i)->geometry(), QRect(left, 1, buttonWidth, nav.height() - 2));
            left += buttonWidth;
        }
        const int visibleButtons = int(shown.count(true));
        QCOMPARE(nav.ZoomBox()->isVisibleTo(&nav), set.contains(nbZoom));
        if (set.contains(nbZoom))
            QCOMPARE(nav.ZoomBox()->x(), buttonWidth * visibleButtons + 4);
    }

    void zoomBoxAloneTakesTheBar()
    {
        TFormGenNav nav;
        nav.resize(120, 25);
        nav.SetVisibleButtons({nbZoom});
        for (int i = 0; i < 5; ++i)
            QVERIFY(!nav.Button(i)->isVisibleTo(&nav));
        QCOMPARE(nav.ZoomBox()->geometry().left(), 2);
        QCOMPARE(nav.ZoomBox()->width(), nav.width() - 4);
    }

    void hints()
    {
        const QStringList six{"Build", "Print", "Back", "Forward", "Clear", "Zoom"};
        TFormGenNav nav;
        nav.SetHints(six + QStringList{"dropped"});
        QCOMPARE(nav.Hints(), six);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(nav.Button(i)->toolTip(), six.at(i));
        QCOMPARE(nav.ZoomBox()->toolTip(), QStringLiteral("Zoom"));

        // Read from a form: with three lines, two buttons and the zoom box get them.
        TFormGenNav loaded;
        loaded.Hints() = QStringList{"Build", "Print", "Zoom"};
        loaded.Loaded();
        QCOMPARE(loaded.Button(0)->toolTip(), QStringLiteral("Build"));
        QCOMPARE(loaded.Button(1)->toolTip(), QStringLiteral("Print"));
        QCOMPARE(loaded.Button(2)->toolTip(), QStringLiteral("Previous page")); // its own
        QCOMPARE(loaded.ZoomBox()->toolTip(), QStringLiteral("Zoom"));
    }

    void linksFollowTheGenerators()
    {
        TFormGenNav nav;
        TFormGenWin first;
        TFormGenWin second;
        nav.SetFormComponent(&first);
        QVERIFY(first.OnChange());
        nav.SetFormComponent(&second);
        QVERIFY(!first.OnChange()); // the first generator no longer calls the bar
        QVERIFY(second.OnChange());
        {
            auto *doomed = new TFormGenWin;
            nav.SetFormComponent(doomed);
            delete doomed;
        }
        QCOMPARE(nav.FormComponent(), nullptr);
        nav.Button(0)->click(); // no generator: nothing happens, nothing crashes
    }

    void picturesOfThePreviewAndTheBar()
    {
        QWidget window;
        window.resize(560, 420);
        auto *nav = new TFormGenNav(&window);
        nav->move(4, 4);
        nav->SetVisibleButtons({nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear});
        auto *generator = new TFormGenWin(&window);
        generator->setGeometry(0, 34, 560, 386);
        generator->SetBorderWidth(4);
        generator->SetBevelOuter(false);
        nav->SetFormComponent(generator);
        buildThreePages(*generator);
        generator->SetZoomLevel(2);
        nav->UpdateEnabling();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage picture = window.grab().toImage();
        reporttest::keepScreenshot(picture, QStringLiteral("preview_with_navigator"));
        reporttest::keepScreenshot(nav->grab().toImage(), QStringLiteral("navigator"));
        // The bar's enabled buttons show their glyphs.
        QVERIFY(!inkBounds(nav->Button(1)->grab().toImage()).isEmpty());
        QVERIFY(nav->geometry().right() < window.width());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestFormGenWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formgenwin.moc"
