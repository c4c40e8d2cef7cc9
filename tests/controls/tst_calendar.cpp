#include "controls/calpop.h"
#include "controls/dateedit.h"
#include "ui/application.h"

#include <QApplication>
#include <QDir>
#include <QPaintEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Records what the calendar paints, to tell a redraw of two cells from one of the whole grid.
class PaintRecorder : public QObject
{
public:
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

// The calendar pop-up, shown for a real date edit and driven by keys and mouse.
class TestCalendar : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    TDateEdit *m_edit = nullptr;

    // The calendar for an edit showing `date`, on screen and fully painted once.
    std::unique_ptr<TfrmCalPop> openOn(const QDate &date)
    {
        m_edit->SetDateValue(QDateTime(date, QTime(8, 30)));
        auto calendar = std::make_unique<TfrmCalPop>(m_edit);
        calendar->show();
        if (!QTest::qWaitForWindowExposed(calendar.get()))
            return nullptr;
        return calendar;
    }

    static int cellOfDay(const TfrmCalPop &calendar, int day)
    {
        for (int cell = 1; cell <= TfrmCalPop::CellCount; ++cell) {
            if (calendar.CellDay(cell) == day)
                return cell;
        }
        return 0;
    }
    static QPoint centreOfDay(const TfrmCalPop &calendar, int day)
    {
        return calendar.CellRect(cellOfDay(calendar, day)).center();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A locale whose weeks begin on Sunday, and the classic grey palette the calendar
        // draws itself with.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QPalette classic = QApplication::palette();
        classic.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
        classic.setColor(QPalette::Dark, QColor(0x80, 0x80, 0x80));
        classic.setColor(QPalette::Light, Qt::white);
        classic.setColor(QPalette::ButtonText, Qt::black);
        QApplication::setPalette(classic);
        ui::Application::installFontSubstitutions();
        qputenv("VESK_INTL_CONFIG", m_dir.filePath(QStringLiteral("none.ini")).toUtf8());
        m_window = std::make_unique<QWidget>();
        m_window->setGeometry(100, 100, 200, 60);
        m_edit = new TDateEdit(m_window.get());
        m_edit->setGeometry(10, 10, 89, 20);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void init()
    {
        m_edit->ClearValidDates();
        m_window->move(100, 100);
    }

    // The weeks begin where the locale that names the months begins them.
    void weeksBeginOnTheLocalesFirstDay_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("firstCell"); // of 1 November 1995, a Wednesday
        QTest::newRow("en_US, Sunday") << QLocale(QLocale::English, QLocale::UnitedStates) << 4;
        QTest::newRow("de_DE, Monday") << QLocale(QLocale::German, QLocale::Germany) << 3;
    }
    void weeksBeginOnTheLocalesFirstDay()
    {
        QFETCH(QLocale, locale);
        const QLocale before;
        QLocale::setDefault(locale);
        const auto calendar = openOn(QDate(1995, 11, 9));
        QLocale::setDefault(before);
        QTEST(cellOfDay(*calendar, 1), "firstCell");
    }

    void everyCellIsFoundWhereItIsDrawn()
    {
        const auto calendar = openOn(QDate(1995, 11, 9));
        QVERIFY(calendar);
        QCOMPARE(calendar->size(),
                 QSize(21 * calendar->CellUnit() + 8, 8 * calendar->RowHeight() + 2));
        for (int cell = 1; cell <= TfrmCalPop::CellCount; ++cell) {
            const QRect box = calendar->CellRect(cell);
            QCOMPARE(calendar->CellAt(box.center()), cell);
            QCOMPARE(calendar->CellAt(box.topLeft() + QPoint(1, 1)), cell);
            QVERIFY(calendar->GridRect().contains(box));
        }
        QCOMPARE(calendar->CellAt(calendar->GridRect().topLeft()), -1);
        // November 1995 begins on a Wednesday: cells 1 to 3 are blank.
        QCOMPARE(calendar->CellDay(3), 0);
        QCOMPARE(calendar->CellDay(4), 1);
        QCOMPARE(calendar->CellDay(33), 30);
        QCOMPARE(calendar->CellDay(34), 0);
        QCOMPARE(calendar->CellDay(calendar->CurrentCell()), 9);
    }

    void keysMoveTheDay_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<QDate>("expected");
        QTest::addColumn<bool>("wholeGrid"); // else only the two cells

        // clang-format off
        QTest::newRow("Right within the month") << QDate(2024, 11, 9) << int(Qt::Key_Right) << QDate(2024, 11, 10) << false;
        QTest::newRow("Right at the month's end") << QDate(2024, 11, 30) << int(Qt::Key_Right) << QDate(2024, 12, 1) << true;
        QTest::newRow("Left at the month's start") << QDate(2024, 12, 1) << int(Qt::Key_Left) << QDate(2024, 11, 30) << true;
        QTest::newRow("Down within the month") << QDate(2024, 11, 9) << int(Qt::Key_Down) << QDate(2024, 11, 16) << false;
        QTest::newRow("Up out of the month") << QDate(2024, 11, 3) << int(Qt::Key_Up) << QDate(2024, 10, 27) << true;
        QTest::newRow("Page Down from 31 January") << QDate(2023, 1, 31) << int(Qt::Key_PageDown) << QDate(2023, 3, 3) << true;
        QTest::newRow("Page Down, leap year") << QDate(2024, 1, 31) << int(Qt::Key_PageDown) << QDate(2024, 3, 2) << true;
        QTest::newRow("Page Up from 31 March") << QDate(2023, 3, 31) << int(Qt::Key_PageUp) << QDate(2023, 3, 3) << true;
        QTest::newRow("Page Up, leap year") << QDate(2024, 3, 31) << int(Qt::Key_PageUp) << QDate(2024, 3, 2) << true;
        QTest::newRow("Page Up from January") << QDate(2024, 1, 15) << int(Qt::Key_PageUp) << QDate(2023, 12, 15) << true;
        QTest::newRow("Home on 29 February") << QDate(2024, 2, 29) << int(Qt::Key_Home) << QDate(2025, 3, 1) << true;
        QTest::newRow("Home from 1 March") << QDate(2023, 3, 1) << int(Qt::Key_Home) << QDate(2024, 3, 1) << true;
        QTest::newRow("Home in March") << QDate(2023, 3, 15) << int(Qt::Key_Home) << QDate(2024, 3, 15) << true;
        QTest::newRow("Home in January") << QDate(2024, 1, 10) << int(Qt::Key_Home) << QDate(2025, 1, 10) << true;
        QTest::newRow("End from 1 March") << QDate(2025, 3, 1) << int(Qt::Key_End) << QDate(2024, 3, 1) << true;
        QTest::newRow("End from a leap 1 March") << QDate(2024, 3, 1) << int(Qt::Key_End) << QDate(2023, 3, 1) << true;
        QTest::newRow("End in February") << QDate(2025, 2, 15) << int(Qt::Key_End) << QDate(2024, 2, 15) << true;
        QTest::newRow("End in July") << QDate(2024, 7, 4) << int(Qt::Key_End) << QDate(2023, 7, 4) << true;
        // clang-format on
    }
    void keysMoveTheDay()
    {
        QFETCH(QDate, start);
        QFETCH(int, key);
        QFETCH(QDate, expected);
        QFETCH(bool, wholeGrid);
        const auto calendar = openOn(start);
        QVERIFY(calendar);
        const int startCell = calendar->CurrentCell();
        PaintRecorder recorder;
        calendar->installEventFilter(&recorder);
        QTest::keyClick(calendar.get(), Qt::Key(key));
        QCOMPARE(calendar->CurrentDate(), expected);
        QCOMPARE(calendar->CellDay(calendar->CurrentCell()), expected.day());
        QTRY_VERIFY(!recorder.painted.isEmpty());
        const QRegion gridPainted = recorder.painted.intersected(calendar->GridRect());
        if (wholeGrid)
            QCOMPARE(gridPainted, QRegion(calendar->GridRect()));
        else
            QCOMPARE(gridPainted, QRegion(calendar->CellRect(startCell)) +
                                      calendar->CellRect(calendar->CurrentCell()));
        QVERIFY(calendar->isVisible());
        QCOMPARE(m_edit->Date(), start);
    }

    void enterPicksEscapeCancels_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::addColumn<QDateTime>("value");
        // clang-format off
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted) << QDateTime(QDate(1995, 11, 10), QTime(0, 0));
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected) << QDateTime(QDate(1995, 11, 9), QTime(8, 30));
        // clang-format on
    }
    void enterPicksEscapeCancels()
    {
        QFETCH(int, key);
        const auto calendar = openOn(QDate(1995, 11, 9));
        QVERIFY(calendar);
        QTest::keyClick(calendar.get(), Qt::Key_Right);
        QTest::keyClick(calendar.get(), Qt::Key(key));
        QVERIFY(!calendar->isVisible());
        QTEST(calendar->result(), "result");
        QTEST(m_edit->DateValue(), "value");
        QCOMPARE(m_edit->text(), m_edit->DateFormat().format(m_edit->Date()));
    }

    void mousePicksADay()
    {
        const auto calendar = openOn(QDate(2024, 11, 9));
        QVERIFY(calendar);
        QTest::mousePress(calendar.get(), Qt::LeftButton, {}, centreOfDay(*calendar, 12));
        QVERIFY(calendar->Tracking());
        QTest::mouseMove(calendar.get(), centreOfDay(*calendar, 20));
        QCOMPARE(calendar->CurrentDate(), QDate(2024, 11, 20));
        // Released outside the grid: the last day tracked is the one picked.
        QTest::mouseMove(calendar.get(), QPoint(calendar->width() / 2, 5));
        QTest::mouseRelease(calendar.get(), Qt::LeftButton, {}, QPoint(calendar->width() / 2, 5));
        QCOMPARE(calendar->result(), int(QDialog::Accepted));
        QCOMPARE(m_edit->DateValue(), QDateTime(QDate(2024, 11, 20), QTime(0, 0)));
    }

    void pressOnABlankCellDoesNothing()
    {
        const auto calendar = openOn(QDate(2024, 11, 9)); // November 2024 begins on a Friday
        QVERIFY(calendar);
        QCOMPARE(calendar->CellDay(1), 0);
        const QPoint blank = calendar->CellRect(1).center();
        QTest::mousePress(calendar.get(), Qt::LeftButton, {}, blank);
        QVERIFY(!calendar->Tracking());
        QTest::mouseRelease(calendar.get(), Qt::LeftButton, {}, blank);
        QVERIFY(calendar->isVisible());
        QCOMPARE(calendar->CurrentDate(), QDate(2024, 11, 9));
        QCOMPARE(m_edit->DateValue(), QDateTime(QDate(2024, 11, 9), QTime(8, 30)));
    }

    void monthButtonsCountTheirEdges_data()
    {
        QTest::addColumn<bool>("next");
        QTest::addColumn<bool>("onEdge");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("previous, centre") << false << false << QDate(2024, 10, 9);
        QTest::newRow("next, bottom right corner") << true << true << QDate(2024, 12, 9);
    }
    void monthButtonsCountTheirEdges()
    {
        QFETCH(bool, next);
        QFETCH(bool, onEdge);
        const auto calendar = openOn(QDate(2024, 11, 9));
        QVERIFY(calendar);
        const QRect button = next ? calendar->NextMonthRect() : calendar->PreviousMonthRect();
        const QPoint point =
            onEdge ? button.topLeft() + QPoint(button.width(), button.height()) : button.center();
        QTest::mouseClick(calendar.get(), Qt::LeftButton, {}, point);
        QTEST(calendar->CurrentDate(), "expected");
        QVERIFY(calendar->isVisible());
    }

    void opensBelowOrAboveInsideTheScreen_data()
    {
        QTest::addColumn<bool>("nearBottom");
        QTest::addColumn<bool>("nearRight");
        QTest::newRow("room everywhere") << false << false;
        QTest::newRow("near the bottom") << true << false;
        QTest::newRow("near the right edge") << false << true;
        QTest::newRow("bottom right corner") << true << true;
    }
    void opensBelowOrAboveInsideTheScreen()
    {
        QFETCH(bool, nearBottom);
        QFETCH(bool, nearRight);
        const QRect screen = m_window->screen()->availableGeometry();
        const QPoint target(nearRight ? screen.right() - 100 : screen.left() + 50,
                            nearBottom ? screen.bottom() - 50 : screen.top() + 50);
        m_window->move(target);
        QTRY_COMPARE(m_window->pos(), target);
        const QPoint edit = m_edit->mapToGlobal(QPoint(0, 0));
        const TfrmCalPop calendar(m_edit);
        QCOMPARE(calendar.y(), nearBottom ? edit.y() - calendar.height() : edit.y() + 20 + 1);
        QCOMPARE(calendar.x(), nearRight ? screen.right() - calendar.width() : edit.x() + 1);
        QVERIFY(screen.contains(calendar.geometry()));
    }

    void paintsValidDaysAndTheSunkenCurrentDay()
    {
        m_edit->AddValidDates({QDate(1995, 11, 20), QDate(1995, 11, 9)});
        const auto calendar = openOn(QDate(1995, 11, 9));
        QVERIFY(calendar);
        const QImage image = calendar->grab().toImage();
        if (const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
            image.save(QDir(dir).filePath(QStringLiteral("calendar.png")));
        // The text is smoothed: what counts is the hue of its darkest pixels.
        const auto hasInk = [&](const QRect &box, auto isInk) {
            for (int y = box.top() + 1; y < box.bottom(); ++y) {
                for (int x = box.left() + 1; x < box.right(); ++x) {
                    if (isInk(QColor(image.pixel(x, y))))
                        return true;
                }
            }
            return false;
        };
        const auto blue = [](const QColor &c) {
            return c.blue() > 200 && c.red() < 60 && c.green() < 60;
        };
        const auto black = [](const QColor &c) { return c.lightness() < 40; };
        const auto cellOf = [&](int day) { return calendar->CellRect(cellOfDay(*calendar, day)); };
        QVERIFY(hasInk(cellOf(20), blue));
        QVERIFY(!hasInk(cellOf(21), blue));
        QVERIFY(hasInk(cellOf(21), black));
        const QRect current = cellOf(9);
        QVERIFY(hasInk(current, blue));
        QCOMPARE(image.pixel(current.topLeft()) & 0xffffff, 0x808080u);
        QCOMPARE(image.pixel(current.bottomRight()) & 0xffffff, 0xffffffu);
        QCOMPARE(image.pixel(0, 0) & 0xffffff, 0xffffffu);
        QCOMPARE(image.pixel(image.width() - 1, image.height() - 1) & 0xffffff, 0x808080u);
    }
};

QTEST_MAIN(TestCalendar)
#include "tst_calendar.moc"
