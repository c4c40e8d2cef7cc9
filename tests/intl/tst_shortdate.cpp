#include "intl/shortdate.h"

#include <QTemporaryDir>
#include <QTest>

using controls::ShortDateFormat;

// The short date format: Windows pictures turned into Qt formats, the profile and locale it is
// read from, and texts read back as dates.
class TestShortDate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void translatesPictures_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("text"); // of Thursday, 9 November 1995
        // clang-format off
        QTest::newRow("US") << "M/d/yyyy" << QChar(u'/') << "11/9/1995";
        QTest::newRow("full stops") << "d.M.yyyy" << QChar(u'.') << "9.11.1995";
        QTest::newRow("slash is the separator") << "dd/MM/yy" << QChar(u'-') << "09-11-95";
        QTest::newRow("lower-case month names") << "mmmm d, yyyy" << QChar(u'/') << "November 9, 1995";
        QTest::newRow("short day") << "ddd" << QChar(u'/') << "Thu";
        QTest::newRow("long day") << "dddd" << QChar(u'/') << "Thursday";
        QTest::newRow("short month") << "dd-MMM-yy" << QChar(u'/') << "09-Nov-95";
        QTest::newRow("one y") << "y/M/d" << QChar(u'/') << "95/11/9";
        QTest::newRow("bare letters stay text") << "d at M" << QChar(u'/') << "9 at 11";
        QTest::newRow("quoted text") << "'Week of' d/M" << QChar(u'/') << "Week of 9/11";
        QTest::newRow("doubled quote") << "d 'o''clock'" << QChar(u'/') << "9 o'clock";
        QTest::newRow("double quotes") << "d \"de\" MMMM" << QChar(u'/') << "9 de November";
        QTest::newRow("CJK literals") << "yyyy'年'M'月'd'日'" << QChar(u'/') << "1995年11月9日";
        // clang-format on
    }
    void translatesPictures()
    {
        QFETCH(QString, picture);
        QFETCH(QChar, separator);
        const QString format = controls::qtDateFormat(picture, separator);
        QTEST(QLocale::c().toString(QDate(1995, 11, 9), format), "text");
    }

    void readsProfileOrLocale_data()
    {
        QTest::addColumn<QString>("profile"); // empty: no profile file
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("picture");
        // clang-format off
        QTest::newRow("C locale: defaults") << "" << "C" << QChar(u'/') << "M/d/yyyy";
        QTest::newRow("en_US") << "" << "en_US" << QChar(u'/') << "M/d/yy";
        QTest::newRow("de_DE") << "" << "de_DE" << QChar(u'.') << "dd.MM.yy";
        QTest::newRow("nl_NL") << "" << "nl_NL" << QChar(u'-') << "dd-MM-yyyy";
        QTest::newRow("ko_KR") << "" << "ko_KR" << QChar(u'.') << "yy. M. d.";
        QTest::newRow("ar_EG, no direction marks") << "" << "ar_EG" << QChar(u'/') << "d/M/yyyy";
        QTest::newRow("profile wins") << "[intl]\nsDate=.\nsShortDate=d.M.yyyy\n" << "en_US" << QChar(u'.') << "d.M.yyyy";
        QTest::newRow("names ignore case, quotes dropped") << "[other]\nsDate=x\n[Intl]\nSDATE=-\nsshortdate=\"dd/MM/yyyy\"\n" << "C" << QChar(u'-') << "dd/MM/yyyy";
        QTest::newRow("comma kept") << "[intl]\nsDate=/\nsShortDate=mmmm d, yyyy\n" << "C" << QChar(u'/') << "mmmm d, yyyy";
        QTest::newRow("separator from the picture") << "[intl]\nsShortDate=d.M.yyyy\n" << "en_US" << QChar(u'.') << "d.M.yyyy";
        QTest::newRow("keys missing: defaults") << "[intl]\n" << "de_DE" << QChar(u'/') << "M/d/yyyy";
        QTest::newRow("cut to 20 characters") << "[intl]\nsDate=/\nsShortDate=dddd, MMMM dd, yyyy gg\n" << "C" << QChar(u'/') << "dddd, MMMM dd, yyyy ";
        // clang-format on
    }
    void readsProfileOrLocale()
    {
        QFETCH(QString, profile);
        QFETCH(QString, locale);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("intl.ini"));
        QFile file(path);
        if (!profile.isEmpty())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(profile.toUtf8()) > 0);
        file.close();
        const ShortDateFormat format = ShortDateFormat::read(path, QLocale(locale));
        QTEST(format.separator, "separator");
        QTEST(format.picture, "picture");
    }

    void readsTextBack_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date"); // invalid: the text names no date
        // clang-format off
        QTest::newRow("month first") << "M/d/yyyy" << "11/9/1995" << QDate(1995, 11, 9);
        QTest::newRow("day first") << "d.M.yyyy" << "9.11.1995" << QDate(1995, 11, 9);
        QTest::newRow("year first") << "yyyy-MM-dd" << "1995-11-09" << QDate(1995, 11, 9);
        QTest::newRow("blanks") << "M/d/yyyy" << " 11 / 9 / 1995 " << QDate(1995, 11, 9);
        QTest::newRow("two-digit year, past") << "M/d/yy" << "11/9/95" << QDate(1995, 11, 9);
        QTest::newRow("two-digit year, ahead") << "M/d/yy" << "1/2/74" << QDate(2074, 1, 2);
        QTest::newRow("two-digit year, window start") << "M/d/yy" << "1/2/75" << QDate(1975, 1, 2);
        QTest::newRow("no year") << "M/d/yyyy" << "11/9" << QDate(2025, 11, 9);
        QTest::newRow("no year, day first") << "d.M.yyyy" << "9.11" << QDate(2025, 11, 9);
        QTest::newRow("leap day") << "M/d/yyyy" << "2/29/2024" << QDate(2024, 2, 29);
        QTest::newRow("no leap day") << "M/d/yyyy" << "2/29/2023" << QDate();
        QTest::newRow("31 April") << "M/d/yyyy" << "4/31/2024" << QDate();
        QTest::newRow("empty") << "M/d/yyyy" << "" << QDate();
        QTest::newRow("no separators") << "M/d/yyyy" << "1111" << QDate();
        QTest::newRow("empty part") << "M/d/yyyy" << "11//1995" << QDate();
        QTest::newRow("four parts") << "M/d/yyyy" << "11/9/1995/3" << QDate();
        QTest::newRow("month names") << "dd-MMM-yy" << "09-Nov-95" << QDate(1995, 11, 9);
        // clang-format on
    }
    void readsTextBack()
    {
        QFETCH(QString, picture);
        QFETCH(QString, text);
        const QChar separator =
            *std::find_if(picture.begin(), picture.end(), [](QChar c) { return !c.isLetter(); });
        const ShortDateFormat format{separator, picture};
        QTEST(format.parse(text, QDate(2025, 6, 15)).value_or(QDate()), "date");
    }

    // Rows run in order on one thread, so each shows that the day's text kept from the row
    // before is not given for another picture, separator or locale.
    void formatsMoments_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("text");
        const QDateTime early(QDate(2025, 1, 1), QTime(0, 8, 30));
        const QDateTime late(QDate(2025, 1, 1), QTime(23, 59, 59));
        // clang-format off
        QTest::newRow("US") << "M/d/yyyy" << "C" << early << "1/1/2025 00:08:30";
        QTest::newRow("same day, other picture") << "dd.MM.yyyy" << "C" << early << "01.01.2025 00:08:30";
        QTest::newRow("same day and picture") << "dd.MM.yyyy" << "C" << late << "01.01.2025 23:59:59";
        QTest::newRow("other picture, same separator") << "d.M.yyyy" << "C" << late << "1.1.2025 23:59:59";
        QTest::newRow("other separator") << "d-M-yyyy" << "C" << late << "1-1-2025 23:59:59";
        QTest::newRow("month named in German") << "d MMMM yyyy" << "de_DE" << early << "1 Januar 2025 00:08:30";
        QTest::newRow("same, in French") << "d MMMM yyyy" << "fr_FR" << early << "1 janvier 2025 00:08:30";
        QTest::newRow("no moment") << "M/d/yyyy" << "C" << QDateTime() << "";
        // clang-format on
    }
    void formatsMoments()
    {
        QFETCH(QString, picture);
        QFETCH(QString, locale);
        QFETCH(QDateTime, moment);
        const QChar separator =
            *std::find_if(picture.begin(), picture.end(), [](QChar c) { return !c.isLetter(); });
        QLocale::setDefault(QLocale(locale));
        const QString text = ShortDateFormat{separator, picture}.formatDateTime(moment);
        QLocale::setDefault(QLocale::c());
        QTEST(text, "text");
    }
};

QTEST_GUILESS_MAIN(TestShortDate)
#include "tst_shortdate.moc"
