#include "controls/calpop.h"
#include "controls/dateedit.h"
#include "ui/application.h"
#include "ui/messages.h"

#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

// The date edit in a real window: what it shows once sized, the keys, the part selection,
// entering and leaving, and its button.
class TestDateEdit : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    void useProfile(QChar separator, const QString &picture)
    {
        QFile file(m_dir.filePath(QStringLiteral("intl.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("[intl]\nsDate=%1\nsShortDate=%2\n")
                       .arg(separator)
                       .arg(picture)
                       .toUtf8());
    }

    // A shown, active window with the edit and a line edit to move the focus to.
    struct Window {
        QWidget window;
        TDateEdit *edit = new TDateEdit(&window);
        QLineEdit *other = new QLineEdit(&window);
    };
    std::unique_ptr<Window> showWindow(const QDateTime &value = {})
    {
        auto w = std::make_unique<Window>();
        w->edit->setObjectName(QStringLiteral("dedStart"));
        w->edit->setGeometry(10, 10, 89, 20);
        w->other->setGeometry(10, 40, 89, 20);
        w->window.resize(120, 70);
        // The look of the desktop's dialogs.
        QFont font(QStringLiteral("MS Sans Serif"), 8);
        font.setBold(true);
        w->window.setFont(font);
        if (value.isValid())
            w->edit->SetDateValue(value);
        w->window.show();
        w->window.activateWindow();
        if (!QTest::qWaitForWindowActive(&w->window))
            return nullptr;
        return w;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale::c());
        ui::Application::installFontSubstitutions();
        qputenv("VESK_INTL_CONFIG", m_dir.filePath(QStringLiteral("intl.ini")).toUtf8());
    }
    void init() { useProfile(u'/', QStringLiteral("M/d/yyyy")); }

    void showsCurrentDateOnceSized()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const auto w = showWindow();
        QVERIFY(w);
        const QDateTime after = QDateTime::currentDateTime();
        const QDateTime value = w->edit->DateValue();
        QVERIFY2(value >= before.addMSecs(-1) && value <= after, qPrintable(value.toString()));
        QCOMPARE(w->edit->text(), w->edit->DateFormat().format(value.date()));
        QCOMPARE(w->edit->Button()->geometry(), QRect(69, 0, 20, 20));
        if (const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
            w->window.grab().save(QDir(dir).filePath(QStringLiteral("dateedit.png")));
    }

    void keepsAValueSetBeforeSizing()
    {
        const auto w = showWindow(QDateTime(QDate(1995, 12, 28), QTime(0, 0)));
        QVERIFY(w);
        QCOMPARE(w->edit->text(), QStringLiteral("12/28/1995"));
        if (const QString dir = qEnvironmentVariable("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
            w->window.grab().save(QDir(dir).filePath(QStringLiteral("dateedit-long.png")));
    }

    void stepsKeepingTheTimeOfDay_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDateTime>("expected");

        const QTime time(13, 45, 10);
        QTest::newRow("+ into a leap day")
            << QDateTime(QDate(2024, 2, 28), time) << "+" << QDateTime(QDate(2024, 2, 29), time);
        QTest::newRow("- out of March")
            << QDateTime(QDate(2024, 3, 1), time) << "-" << QDateTime(QDate(2024, 2, 29), time);
        QTest::newRow("+ over the year")
            << QDateTime(QDate(2024, 12, 31), time) << "++" << QDateTime(QDate(2025, 1, 2), time);
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

    void stepFromEmptyTextGivesNow()
    {
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        w->edit->clear();
        QTest::keyClick(w->edit, '+');
        QCOMPARE(w->edit->Date(), QDate::currentDate());
        QVERIFY(w->edit->DateValue().time() != QTime(0, 0) || QTime::currentTime().hour() == 0);
    }

    void typingMovesThroughTheParts_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("part");

        const QChar slash(u'/');
        const QString us = QStringLiteral("M/d/yyyy");
        QTest::newRow("entering selects part 1") << slash << us << ""
                                                 << "11/9/1995"
                                                 << "11" << 1;
        QTest::newRow("separator to part 2") << slash << us << "/"
                                             << "11/9/1995"
                                             << "9" << 2;
        QTest::newRow("separator to part 3") << slash << us << "//"
                                             << "11/9/1995"
                                             << "1995" << 3;
        QTest::newRow("separator in part 3") << slash << us << "///"
                                             << "11/9/1995"
                                             << "1995" << 3;
        QTest::newRow("letters and blanks ignored") << slash << us << "aZ .,*"
                                                    << "11/9/1995"
                                                    << "11" << 1;
        QTest::newRow("digits replace the part") << slash << us << "12"
                                                 << "12/9/1995"
                                                 << "" << 1;
        QTest::newRow("day typed") << slash << us << "/7"
                                   << "11/7/1995"
                                   << "" << 2;
        QTest::newRow("year typed") << slash << us << "//2024"
                                    << "11/9/2024"
                                    << "" << 3;
        QTest::newRow("backspace") << slash << us << "\b"
                                   << "/9/1995"
                                   << "" << 1;
        const QChar stop(u'.');
        const QString german = QStringLiteral("d.M.yyyy");
        QTest::newRow("full stop format") << stop << german << ""
                                          << "9.11.1995"
                                          << "9" << 1;
        QTest::newRow("full stop moves") << stop << german << "."
                                         << "9.11.1995"
                                         << "11" << 2;
        QTest::newRow("slash no separator") << stop << german << "/"
                                            << "9.11.1995"
                                            << "9" << 1;
        QTest::newRow("dash separator") << QChar(u'-') << QStringLiteral("yyyy-MM-dd") << "--"
                                        << "1995-11-09"
                                        << "09" << 3;
    }
    void typingMovesThroughTheParts()
    {
        QFETCH(QChar, separator);
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
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("selected");

        // "11/9/1995": separators at 2 and 4.
        QTest::newRow("start") << 0 << "11";
        QTest::newRow("before first separator") << 2 << "11";
        QTest::newRow("after first separator") << 3 << "9";
        QTest::newRow("before second separator") << 4 << "9";
        QTest::newRow("after second separator") << 5 << "1995";
        QTest::newRow("end") << 9 << "1995";
    }
    void mouseUpSelectsThePart()
    {
        QFETCH(int, caret);
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        w->edit->setFocus(Qt::OtherFocusReason);
        w->edit->setCursorPosition(caret);
        const QPoint point(w->edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(),
                           w->edit->height() / 2);
        QTest::mouseClick(w->edit, Qt::LeftButton, {}, point);
        QTEST(w->edit->selectedText(), "selected");
    }

    void leavingReadsTheText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // invalid: the current date and time, focus kept

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
        QTest::keyClick(w->edit, Qt::Key_Tab);
        if (date.isValid()) {
            QCOMPARE(w->edit->DateValue(), QDateTime(date, QTime(0, 0)));
            QTRY_VERIFY(w->other->hasFocus());
        } else {
            QCOMPARE(w->edit->Date(), QDate::currentDate());
            QCOMPARE(w->edit->text(), w->edit->DateFormat().format(QDate::currentDate()));
            QTRY_VERIFY(w->edit->hasFocus());
        }
    }

    // Enter in a dialog reaches the default button without the focus leaving the edit; the
    // typed date must still be the one the dialog reads.
    void enterTakesTheTypedDate_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("a date") << "12/24/2023" << QDate(2023, 12, 24) << true;
        QTest::newRow("no date") << "13/1/2023" << QDate::currentDate() << false;
    }
    void enterTakesTheTypedDate()
    {
        QFETCH(QString, typed);
        QDialog dialog;
        auto *edit = new TDateEdit(&dialog);
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(ok);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        edit->setFocus();
        edit->setText(typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QTEST(edit->Date(), "date");
        QTEST(dialog.result() == QDialog::Accepted, "accepted");
    }

    void partSettersRefuseNoDate_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QDateTime>("expected");

        const QDateTime start(QDate(2024, 1, 31), QTime(9, 15));
        QTest::newRow("day") << "Day" << 15 << true << QDateTime(QDate(2024, 1, 15), QTime(0, 0));
        QTest::newRow("same day keeps time") << "Day" << 31 << true << start;
        QTest::newRow("31 February") << "Month" << 2 << false << start;
        QTest::newRow("year") << "Year" << 1995 << true
                              << QDateTime(QDate(1995, 1, 31), QTime(0, 0));
        QTest::newRow("no year 0") << "Year" << 0 << false << start;
    }
    void partSettersRefuseNoDate()
    {
        QFETCH(QString, part);
        QFETCH(int, value);
        QFETCH(QDateTime, expected);
        TDateEdit edit;
        edit.SetDateValue(QDateTime(QDate(2024, 1, 31), QTime(9, 15)));
        bool ok = false;
        if (part == QStringLiteral("Day"))
            ok = edit.SetDay(value);
        else if (part == QStringLiteral("Month"))
            ok = edit.SetMonth(value);
        else
            ok = edit.SetYear(value);
        QTEST(ok, "ok");
        QCOMPARE(edit.DateValue(), expected);
        QCOMPARE(edit.text(), edit.DateFormat().format(expected.date()));
    }

    void buttonRefusesATextThatIsNoDate()
    {
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        w->edit->setText(QStringLiteral("1111"));
        ui::MessageRecorder messages;
        bool calendarShown = false;
        QTimer::singleShot(0, this, [&] {
            if (auto *calendar = qobject_cast<TfrmCalPop *>(QApplication::activeModalWidget())) {
                calendarShown = true;
                calendar->reject();
            }
        });
        QTest::mouseClick(w->edit->Button(), Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("'1111' is not a valid date")});
        QVERIFY(!calendarShown);
    }

    void buttonOpensTheCalendarOnTheTextsDate()
    {
        const auto w = showWindow(QDateTime(QDate(1995, 11, 9), QTime(0, 0)));
        QVERIFY(w);
        QDate shownDate;
        QTimer::singleShot(0, this, [&] {
            if (auto *calendar = qobject_cast<TfrmCalPop *>(QApplication::activeModalWidget())) {
                shownDate = calendar->CurrentDate();
                QTest::keyClick(calendar, Qt::Key_Right);
                QTest::keyClick(calendar, Qt::Key_Return);
            }
        });
        // Should the calendar not close, this ends the wait for it.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        guard.start(3000);
        QTest::mouseClick(w->edit->Button(), Qt::LeftButton);
        QCOMPARE(shownDate, QDate(1995, 11, 9));
        QCOMPARE(w->edit->DateValue(), QDateTime(QDate(1995, 11, 10), QTime(0, 0)));
        QCOMPARE(w->edit->text(), QStringLiteral("11/10/1995"));
    }
};

QTEST_MAIN(TestDateEdit)
#include "tst_dateedit.moc"
