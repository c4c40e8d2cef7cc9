#include "controls/calpop.h"
#include "controls/dateedit.h"
#include "tests/support/modaldialog.h"
#include "ui/application.h"
#include "ui/messages.h"

#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The date edit in a real window: what it shows once sized, the keys, the part selection,
// leaving it, Enter, and its button.
class TestDateEdit : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void useProfile(const QString &separator, const QString &picture)
    {
        QFile file(m_dir.filePath(QStringLiteral("intl.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            QStringLiteral("[intl]\nsDate=%1\nsShortDate=%2\n").arg(separator, picture).toUtf8());
    }

    // A shown, active window in the look of the desktop's dialogs, with the edit and a line edit
    // to move the focus to.
    struct Window {
        QWidget window;
        TDateEdit *edit = new TDateEdit(&window);
        QLineEdit *other = new QLineEdit(&window);
    };
    std::unique_ptr<Window> showWindow(const QDateTime &value = {})
    {
        auto w = std::make_unique<Window>();
        w->edit->setGeometry(10, 10, 89, 20);
        w->other->setGeometry(10, 40, 89, 20);
        w->window.resize(120, 70);
        QFont font(QStringLiteral("MS Sans Serif"), 8);
        font.setBold(true);
        w->window.setFont(font);
        if (value.isValid())
            w->edit->SetDateValue(value);
        w->window.show();
        w->window.activateWindow();
        return QTest::qWaitForWindowActive(&w->window) ? std::move(w) : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        ui::Application::installFontSubstitutions();
        qputenv("VESK_INTL_CONFIG", m_dir.filePath(QStringLiteral("intl.ini")).toUtf8());
    }
    void init() { useProfile(QStringLiteral("/"), QStringLiteral("M/d/yyyy")); }

    void showsItsDateOnceSized_data()
    {
        QTest::addColumn<QDateTime>("preset"); // invalid: none, the current date and time
        QTest::newRow("new control") << QDateTime();
        QTest::newRow("value set before") << QDateTime(QDate(1995, 12, 28), QTime(0, 0));
    }
    void showsItsDateOnceSized()
    {
        QFETCH(QDateTime, preset);
        const QDateTime before = QDateTime::currentDateTime();
        const auto w = showWindow(preset);
        QVERIFY(w);
        const QDateTime value = w->edit->DateValue();
        if (preset.isValid())
            QCOMPARE(value, preset);
        else
            QVERIFY(value >= before && value <= QDateTime::currentDateTime());
        QCOMPARE(w->edit->text(), QLocale::c().toString(value.date(), QStringLiteral("M/d/yyyy")));
        QCOMPARE(w->edit->Button()->geometry(), QRect(69, 0, 20, 20));
        if (const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
            w->window.grab().save(
                QDir(dir).filePath(QStringLiteral("dateedit-%1.png").arg(QTest::currentDataTag())));
    }

    void stepsKeepingTheTimeOfDay_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDateTime>("expected");
        const QTime time(13, 45, 10);
        // clang-format off
        QTest::newRow("+ into a leap day") << QDateTime(QDate(2024, 2, 28), time) << "+" << QDateTime(QDate(2024, 2, 29), time);
        QTest::newRow("- out of March") << QDateTime(QDate(2024, 3, 1), time) << "-" << QDateTime(QDate(2024, 2, 29), time);
        QTest::newRow("+ over the year") << QDateTime(QDate(2024, 12, 31), time) << "++" << QDateTime(QDate(2025, 1, 2), time);
        // clang-format on
    }
    void stepsKeepingTheTimeOfDay()
    {
        QFETCH(QDateTime, start);
        QFETCH(QString, keys);
        QFETCH(QDateTime, expected);
        const auto w = showWindow(start);
        QVERIFY(w);
        QSignalSpy changes(w->edit, &TDateEdit::OnDateChange);
        QTest::keyClicks(w->edit, keys);
        QCOMPARE(w->edit->DateValue(), expected);
        QCOMPARE(w->edit->text(), w->edit->DateFormat().format(expected.date()));
        QCOMPARE(changes.count(), keys.size());
    }

    void typingMovesThroughTheParts_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("part");
        // clang-format off
        QTest::newRow("entering selects part 1") << "/" << "M/d/yyyy" << "" << "11/9/1995" << "11" << 1;
        QTest::newRow("separator to part 2") << "/" << "M/d/yyyy" << "/" << "11/9/1995" << "9" << 2;
        QTest::newRow("separator to part 3") << "/" << "M/d/yyyy" << "//" << "11/9/1995" << "1995" << 3;
        QTest::newRow("separator in part 3") << "/" << "M/d/yyyy" << "///" << "11/9/1995" << "1995" << 3;
        QTest::newRow("letters and blanks ignored") << "/" << "M/d/yyyy" << "aZ .,*" << "11/9/1995" << "11" << 1;
        QTest::newRow("digits replace the part") << "/" << "M/d/yyyy" << "12" << "12/9/1995" << "" << 1;
        QTest::newRow("year typed") << "/" << "M/d/yyyy" << "//2024" << "11/9/2024" << "" << 3;
        QTest::newRow("backspace") << "/" << "M/d/yyyy" << "\b" << "/9/1995" << "" << 1;
        QTest::newRow("full stop format") << "." << "d.M.yyyy" << "" << "9.11.1995" << "9" << 1;
        QTest::newRow("full stop moves") << "." << "d.M.yyyy" << "." << "9.11.1995" << "11" << 2;
        QTest::newRow("slash is no separator") << "." << "d.M.yyyy" << "/" << "9.11.1995" << "9" << 1;
        QTest::newRow("dash separator") << "-" << "yyyy-MM-dd" << "--" << "1995-11-09" << "09" << 3;
        // clang-format on
    }
    void typingMovesThroughTheParts()
    {
        QFETCH(QString, separator);
        QFETCH(QString, picture);
        QFETCH(QString, keys);
        useProfile(separator, picture);
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        w->other->setFocus(Qt::OtherFocusReason);
        w->edit->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(w->edit, keys);
        QTEST(w->edit->text(), "text");
        QTEST(w->edit->selectedText(), "selected");
        QTEST(w->edit->CurrentPart(), "part");
        QCOMPARE(w->edit->DateValue(), QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
    }

    void mouseUpSelectsThePart_data()
    {
        QTest::addColumn<int>("caret"); // in "11/9/1995"
        QTest::addColumn<QString>("selected");
        QTest::newRow("start") << 0 << "11";
        QTest::newRow("before the first separator") << 2 << "11";
        QTest::newRow("after the first separator") << 3 << "9";
        QTest::newRow("before the second separator") << 4 << "9";
        QTest::newRow("after the second separator") << 5 << "1995";
        QTest::newRow("end") << 9 << "1995";
    }
    void mouseUpSelectsThePart()
    {
        QFETCH(int, caret);
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        w->edit->setCursorPosition(caret);
        const QRect cursor = w->edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QTest::mouseClick(w->edit, Qt::LeftButton, {}, QPoint(cursor.center().x(), 10));
        QTEST(w->edit->selectedText(), "selected");
    }

    void leavingReadsTheText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // invalid: refused, the text kept and the focus too
        QTest::newRow("a date") << "12/24/2023" << QDate(2023, 12, 24);
        QTest::newRow("empty") << "" << QDate();
        QTest::newRow("no such date") << "2/29/2023" << QDate();
        QTest::newRow("one number") << "1224" << QDate();
    }
    void leavingReadsTheText()
    {
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(10, 30)));
        QVERIFY(w);
        w->edit->setFocus(Qt::OtherFocusReason);
        w->edit->setText(typed);
        ui::MessageRecorder messages;
        QTest::keyClick(w->edit, Qt::Key_Tab);
        if (date.isValid()) {
            QCOMPARE(w->edit->DateValue(), QDateTime(date, QTime(0, 0)));
            QTRY_VERIFY(w->other->hasFocus());
            QVERIFY(messages.texts().isEmpty());
        } else {
            QTRY_COMPARE(messages.texts(), QStringList{notADateMessage(typed)});
            QTRY_VERIFY(w->edit->hasFocus());
            QCOMPARE(w->edit->text(), typed);
            QCOMPARE(w->edit->DateValue(), QDateTime(QDate(1995, 11, 9), QTime(10, 30)));
        }
    }

    // Whole dates typed as people type them: over a selection, with their separators, and as
    // the first keys of a window that has just opened. An invalid date: refused.
    void typedDatesAreTakenAsTyped_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("selectAll"); // else the keys are the window's first
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDate>("date");
        QTest::newRow("over a selection") << "M/d/yyyy" << true << "3/15/2026" << QDate(2026, 3, 15);
        QTest::newRow("day first") << "d.M.yyyy" << true << "15.3.2026" << QDate(2026, 3, 15);
        QTest::newRow("window's first keys") << "M/d/yyyy" << false << "10/1/2026" << QDate(2026, 10, 1);
        QTest::newRow("impossible") << "M/d/yyyy" << true << "2/30/2026" << QDate();
        QTest::newRow("incomplete") << "M/d/yyyy" << true << "3/" << QDate();
    }
    void typedDatesAreTakenAsTyped()
    {
        QFETCH(QString, picture);
        QFETCH(QString, keys);
        QFETCH(QDate, date);
        useProfile(picture.mid(1, 1), picture);
        const auto w = showWindow(QDateTime(QDate(2026, 11, 9), QTime(0, 0)));
        QVERIFY(w && w->edit->hasFocus()); // the window's first focus, from its activation
        QFETCH(bool, selectAll);
        if (selectAll)
            w->edit->selectAll();
        ui::MessageRecorder messages;
        QTest::keyClicks(w->edit, keys);
        QCOMPARE(w->edit->text(), keys);
        QTest::keyClick(w->edit, Qt::Key_Tab);
        QTRY_COMPARE(messages.texts().size(), date.isValid() ? 0 : 1);
        QCOMPARE(w->edit->Date(), date.isValid() ? date : QDate(2026, 11, 9));
        QTRY_COMPARE(w->edit->hasFocus(), !date.isValid());
    }

    // Enter reaches the dialog's default button without the focus leaving the edit; the typed
    // date must still be the one the dialog reads.
    void enterTakesTheTypedDate_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("a date") << "12/24/2023" << QDate(2023, 12, 24) << true;
        QTest::newRow("no date") << "13/1/2023" << QDate(1995, 11, 9) << false;
    }
    void enterTakesTheTypedDate()
    {
        QFETCH(QString, typed);
        QDialog dialog;
        auto *edit = new TDateEdit(&dialog);
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        edit->setGeometry(10, 10, 89, 20);
        ok->setGeometry(10, 40, 75, 25);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        edit->SetDateValue(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        edit->setFocus();
        edit->setText(typed);
        ui::MessageRecorder messages;
        QTest::keyClick(edit, Qt::Key_Return);
        QTEST(edit->Date(), "date");
        QTEST(dialog.result() == QDialog::Accepted, "accepted");
        QTRY_COMPARE(messages.texts().size(), dialog.result() == QDialog::Accepted ? 0 : 1);
    }

    // F4 and Alt+Down open the calendar; four digits typed there go to that year.
    void calendarKeysOpenTheCalendar_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F4") << int(Qt::Key_F4) << int(Qt::NoModifier);
        QTest::newRow("Alt+Down") << int(Qt::Key_Down) << int(Qt::AltModifier);
    }
    void calendarKeysOpenTheCalendar()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        testsupport::ExpectDialog<TfrmCalPop> calendarDialog([](TfrmCalPop *calendar) {
            QTest::keyClicks(calendar, QStringLiteral("2026\r"));
        });
        QTest::keyClick(w->edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        VESK_VERIFY_DIALOG(calendarDialog);
        QCOMPARE(w->edit->Date(), QDate(2026, 11, 9));
    }

    void partSettersRefuseNoDate()
    {
        TDateEdit edit;
        const QDateTime start(QDate(2024, 1, 31), QTime(9, 15));
        edit.SetDateValue(start);
        QVERIFY(edit.SetDay(31)); // unchanged: the time stays
        QCOMPARE(edit.DateValue(), start);
        QVERIFY(!edit.SetMonth(2));
        QCOMPARE(edit.DateValue(), start);
        QVERIFY(edit.SetYear(1995));
        QCOMPARE(edit.DateValue(), QDateTime(QDate(1995, 1, 31), QTime(0, 0)));
        QCOMPARE(edit.text(), QStringLiteral("1/31/1995"));
    }

    void buttonRefusesATextThatIsNoDate()
    {
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        w->edit->setText(QStringLiteral("1111"));
        ui::MessageRecorder messages;
        testsupport::NoModalDialog noCalendar;
        QTest::mouseClick(w->edit->Button(), Qt::LeftButton);
        VESK_VERIFY_DIALOG(noCalendar);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("'1111' is not a valid date")});
    }

    void buttonOpensTheCalendarOnTheTextsDate()
    {
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        QDate shownDate;
        QPoint shownAt;
        testsupport::ExpectDialog<TfrmCalPop> calendarDialog([&](TfrmCalPop *calendar) {
            shownDate = calendar->CurrentDate();
            shownAt = calendar->pos();
            QTest::keyClick(calendar, Qt::Key_Right);
            QTest::keyClick(calendar, Qt::Key_Return);
        });
        QTest::mouseClick(w->edit->Button(), Qt::LeftButton);
        VESK_VERIFY_DIALOG(calendarDialog);
        QCOMPARE(shownDate, QDate(1995, 11, 9));
        QCOMPARE(shownAt, w->edit->mapToGlobal(QPoint(1, 21))); // just below the edit
        QCOMPARE(w->edit->DateValue(), QDateTime(QDate(1995, 11, 10), QTime(0, 0)));
        QCOMPARE(w->edit->text(), QStringLiteral("11/10/1995"));
    }
};

QTEST_MAIN(TestDateEdit)
#include "tst_dateedit.moc"
