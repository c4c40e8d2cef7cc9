// The tabular layout: page size and breaks, the title block, headings, columns and footers,
// the refusals, a real security database, and the designer dialog.

#include "dbe/table.h"
#include "report/frmgenwn.h"
#include "report/rptdsgn.h"
#include "report/rptdsgndlg.h"
#include "report/textmeasure.h"
#include "tests/report/reporttestkit.h"
#include "tests/support/testsupport.h"
#include "ui/application.h"
#include "ui/formkit.h"
#include "ui/messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace report;
using reporttest::field;
using reporttest::findText;
using reporttest::textBoxes;

namespace {

constexpr double Margin = 0.025;

QList<dbe::FieldInfo> twoColumns()
{
    return {field(QStringLiteral("Name"), dbe::FieldType::Alpha, QStringLiteral("User Name"), 20),
            field(QStringLiteral("Id"), dbe::FieldType::LongInt, QStringLiteral("ID"), 5,
                  Qt::AlignHCenter)};
}

struct Built {
    std::unique_ptr<TFormGenWin> generator = std::make_unique<TFormGenWin>();
    std::unique_ptr<dbe::MemoryDataSet> data;
    std::unique_ptr<TReportDesign> design = std::make_unique<TReportDesign>();
};

Built build(int rows, const std::function<void(TReportDesign &)> &configure = {})
{
    Built b;
    b.generator->SetOptions({});
    b.data = reporttest::numberedRows(twoColumns(), rows);
    b.design->SetDataSet(b.data.get());
    b.design->SetFormComponent(b.generator.get());
    b.design->SetFields({QStringLiteral("Name"), QStringLiteral("Id")});
    b.design->SetReportDate(QDate(2026, 3, 2));
    if (configure)
        configure(*b.design);
    b.design->Execute();
    return b;
}

double heightOf(const ReportFont &font)
{
    return textHeightInches(font);
}

// Everything the layout can draw, for the pictures.
void everyPart(TReportDesign &d)
{
    d.SetTitle(QStringLiteral("User Report"));
    d.SetSubTitle(QStringLiteral("Alias: TESTSEC"));
    d.SetDividerStyle(dvsSolid);
    d.SetDatePosition(dpRight);
    d.SetPageNumLocation(pnsBottomCenter);
    d.SetPageNumLabel(QStringLiteral("Page "));
}

} // namespace

// A short date of the day first, with dots, as the [intl] profile sets it while this lives.
class DayFirstProfile
{
public:
    DayFirstProfile()
    {
        QFile profile(m_dir.filePath(QStringLiteral("intl.ini")));
        if (!profile.open(QIODevice::WriteOnly))
            qFatal("cannot write the intl profile");
        profile.write("[intl]\nsDate=.\nsShortDate=dd/MM/yyyy\n");
        profile.close();
        qputenv("VESK_INTL_CONFIG", QFile::encodeName(profile.fileName()));
    }
    ~DayFirstProfile() { qunsetenv("VESK_INTL_CONFIG"); }

private:
    QTemporaryDir m_dir;
};

class TestReportDesign : public QObject
{
    Q_OBJECT

    // One real security database, only read. Added out of name order, so that the id and the
    // name index list the users differently.
    std::unique_ptr<testsupport::SecurityDb> m_db;

    std::unique_ptr<dbe::Table> openUsers() const
    {
        auto users = std::make_unique<dbe::Table>();
        users->setDatabaseName(m_db->alias());
        users->setTableName(QStringLiteral("USERS.DB"));
        users->open();
        return users;
    }

private Q_SLOTS:
    void initTestCase()
    {
        testsupport::isolateEngineConfig();
        m_db = std::make_unique<testsupport::SecurityDb>();
        m_db->addUser(QStringLiteral("Bob & Co"), QStringLiteral("secret"), false);
        m_db->addUser(QStringLiteral("Alice"), QStringLiteral("pw"), true, true, "Sales", "101");
    }

    void withoutGeneratorTheBoxSaysSo()
    {
        ui::MessageRecorder messages;
        TFormGenWin untouched;
        untouched.SetOptions({});
        untouched.StrRect(QStringLiteral("kept"), 1, 1, 2, 2);
        TReportDesign design;
        design.Execute();
        QCOMPARE(messages.texts(), QStringList{"FormComponent Property is not Assigned."});
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
        QCOMPARE(untouched.CommandCount(), 1);
    }

    void withoutDataSetThePageIsEmpty()
    {
        TFormGenWin generator;
        generator.SetOptions({});
        generator.StrRect(QStringLiteral("old"), 1, 1, 2, 2);
        TReportDesign design;
        design.SetFormComponent(&generator);
        design.Execute();
        QCOMPARE(generator.CommandCount(), 0);
        QCOMPARE(generator.PageCount(), 1);
    }

    void emptyDataSetGivesOneEmptyPage()
    {
        Built b = build(0, [](TReportDesign &d) {
            d.SetTitle(QStringLiteral("Nothing"));
            d.SetPageNumLocation(pnsBottomCenter);
        });
        QCOMPARE(b.generator->CommandCount(), 0);
        QCOMPARE(b.generator->PageCount(), 1);
        QVERIFY(b.data->isOpen()); // the data set is left open
    }

    void pageSizes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("portrait");
        QTest::addColumn<QSize>("tenths");
        QTest::newRow("landscape Letter (default)") << 0 << false << QSize(110, 85);
        QTest::newRow("portrait Letter") << 0 << true << QSize(85, 110);
        QTest::newRow("landscape Legal") << 1 << false << QSize(140, 85);
        QTest::newRow("portrait A4") << 2 << true << QSize(83, 117);
        QTest::newRow("an undefined size lays out on Letter") << 7 << true << QSize(85, 110);
    }

    void pageSizes()
    {
        QFETCH(int, index);
        QFETCH(bool, portrait);
        QFETCH(QSize, tenths);
        Built b = build(1, [&](TReportDesign &d) {
            d.SetPageSizeIndex(index);
            d.SetPortrait(portrait);
        });
        QCOMPARE(b.generator->PhyWidth(), tenths.width());
        QCOMPARE(b.generator->PhyHeight(), tenths.height());
        QCOMPARE(b.generator->PageWidth(), tenths.width() * 0.1);
    }

    void pageBreaksOnceCurYPassesTheLimit()
    {
        Built b = build(120);
        const double step = heightOf(b.design->BodyFont()) + 0.01;
        int rowsSeen = 0;
        for (int page = 1; page <= b.generator->PageCount(); ++page) {
            QList<double> tops;
            for (const TTextBoxCmd *box : textBoxes(*b.generator, page)) {
                if (box->Text.startsWith(QLatin1String("Name")) && box->Text != "Name")
                    tops.append(box->Y1);
            }
            QVERIFY(!tops.isEmpty());
            rowsSeen += int(tops.size());
            // Every record starts at or above 7.5 inches; the next one would not have.
            QVERIFY(tops.last() <= 7.5 + 1e-9);
            if (page < b.generator->PageCount())
                QVERIFY(tops.last() + step > 7.5);
            for (int i = 1; i < tops.size(); ++i)
                QVERIFY(qAbs(tops[i] - tops[i - 1] - step) < 1e-9);
        }
        QCOMPARE(rowsSeen, 120);
        // The headings start every page.
        for (int page = 1; page <= b.generator->PageCount(); ++page)
            QVERIFY(findText(*b.generator, QStringLiteral("User Name"), page));
    }

    void measuringIsFixed()
    {
        // Liberation Sans (for "Arial") at 12 points on the 96-per-inch measuring grid: the
        // same on every machine, so page counts are too.
        ReportFont arial;
        arial.name = QStringLiteral("Arial");
        arial.size = 12;
        QCOMPARE(textHeightInches(arial) * MeasuringDpi, 17.0);
        QCOMPARE(textWidthInches(arial, QStringLiteral("ooooo")) * MeasuringDpi, 44.0);
    }

    void columnsAndTheirWidths()
    {
        Built b = build(1, [](TReportDesign &d) {
            d.SetFields({QStringLiteral("Name"), QStringLiteral("Missing"), QStringLiteral("Id")});
        });
        const TTextBoxCmd *name = findText(*b.generator, QStringLiteral("User Name"));
        const TTextBoxCmd *id = findText(*b.generator, QStringLiteral("ID"));
        QVERIFY(name && id);
        QVERIFY(!findText(*b.generator, QStringLiteral("Missing")));
        QCOMPARE(name->X1, 0.5);
        // "Name" is 20 characters of "o" wide in the body font; "ID" only 5, so its label or
        // five "o" letters, whichever is wider.
        const double nameWidth =
            textWidthInches(b.design->BodyFont(), QString(20, QLatin1Char('o')));
        QCOMPARE(name->X2, 0.5 + nameWidth + 2 * Margin);
        QCOMPARE(id->X1, name->X2); // the unknown field takes no room
        const double idWidth =
            std::max(textWidthInches(b.design->HeadingFont(), QStringLiteral("ID")),
                     textWidthInches(b.design->BodyFont(), QStringLiteral("ooooo")));
        QCOMPARE(id->X2, id->X1 + idWidth + 2 * Margin);
        QCOMPARE(int(id->Flags), int(dt::Center)); // the field's alignment, no wrap
        const TTextBoxCmd *value = findText(*b.generator, QStringLiteral("1"));
        QVERIFY(value);
        QCOMPARE(value->X1, id->X1);
        QCOMPARE(value->Font, b.design->BodyFont());
        QCOMPARE(id->Font, b.design->HeadingFont());
    }

    void plainStringValues()
    {
        // Moments print as the configured short date and the time, as everywhere else.
        const DayFirstProfile profile;
        TFormGenWin generator;
        generator.SetOptions({});
        dbe::MemoryDataSet data;
        data.setContent(
            {field("Enabled", dbe::FieldType::Logical), field("Seen", dbe::FieldType::Timestamp)},
            {{true, QDateTime(QDate(2026, 3, 2), QTime(8, 15, 0))}});
        TReportDesign design;
        design.SetDataSet(&data);
        design.SetFormComponent(&generator);
        design.SetFields({"Enabled", "Seen"});
        design.Execute();
        QVERIFY(findText(generator, QStringLiteral("True")));
        QVERIFY(findText(generator, QStringLiteral("02.03.2026 08:15:00")));
    }

    void titleBlock_data()
    {
        QTest::addColumn<bool>("centred");
        QTest::addColumn<int>("datePosition");
        QTest::addColumn<bool>("dateOnSubtitleLine");
        QTest::addColumn<int>("dateFlags");
        QTest::newRow("right: on the subtitle's line") << true << int(dpRight) << true << 2;
        QTest::newRow("centre under a centred subtitle") << true << int(dpCenter) << false << 1;
        QTest::newRow("centre beside a left subtitle") << false << int(dpCenter) << true << 1;
        QTest::newRow("left under a left subtitle") << false << int(dpLeft) << false << 0;
        QTest::newRow("left beside a centred subtitle") << true << int(dpLeft) << true << 0;
    }

    void titleBlock()
    {
        QFETCH(bool, centred);
        QFETCH(int, datePosition);
        QFETCH(bool, dateOnSubtitleLine);
        QFETCH(int, dateFlags);
        Built b = build(3, [&](TReportDesign &d) {
            d.SetTitle(QStringLiteral("Users & Rights"));
            d.SetSubTitle(QStringLiteral("Alias: TESTSEC"));
            d.SetTitleCentered(centred);
            d.SetDatePosition(TDatePosition(datePosition));
            d.SetDateFormat(QStringLiteral("yyyy-mm-dd"));
        });
        const TTextBoxCmd *title = findText(*b.generator, QStringLiteral("Users & Rights"));
        const TTextBoxCmd *subtitle = findText(*b.generator, QStringLiteral("Alias: TESTSEC"));
        const TTextBoxCmd *date = findText(*b.generator, QStringLiteral("2026-03-02"));
        QVERIFY(title && subtitle && date);
        const double titleLine = heightOf(b.design->TitleFont()) * 1.25;
        const double subtitleLine = heightOf(b.design->SubTitleFont()) * 1.25;
        QCOMPARE(title->Y1, 0.5);
        QCOMPARE(title->X2, 10.5);
        QCOMPARE(int(title->Flags), centred ? int(dt::Center) : 0);
        QCOMPARE(subtitle->Y1, 0.5 + titleLine);
        QCOMPARE(subtitle->Y2 - subtitle->Y1, heightOf(b.design->SubTitleFont()) + 3 * Margin);
        QCOMPARE(date->Y1, dateOnSubtitleLine ? subtitle->Y1 : subtitle->Y1 + subtitleLine);
        QCOMPARE(int(date->Flags), dateFlags);
        QCOMPARE(date->Font, b.design->HeadingFont());
        // The headings follow the date's line.
        const TTextBoxCmd *heading = findText(*b.generator, QStringLiteral("User Name"));
        QCOMPARE(heading->Y1, date->Y1 + subtitleLine);
    }

    void emptyDateFormatMeansTheShortDate()
    {
        // The short date of the [intl] profile, as the date edits show it.
        const DayFirstProfile profile;
        Built b = build(1, [](TReportDesign &d) { d.SetDatePosition(dpLeft); });
        QCOMPARE(b.design->DateFormat(), QStringLiteral("ddddd"));
        QVERIFY(findText(*b.generator, QStringLiteral("02.03.2026")));
    }

    void pageNumbers_data()
    {
        QTest::addColumn<int>("location");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("title");
        QTest::newRow("bottom centre with a label") << int(pnsBottomCenter) << "Page "
                                                    << "T";
        QTest::newRow("bottom centre, bare number") << int(pnsBottomCenter) << ""
                                                    << "T";
        QTest::newRow("top right without a title") << int(pnsUpperRight) << "p. "
                                                   << "";
    }

    void pageNumbers()
    {
        QFETCH(int, location);
        QFETCH(QString, label);
        QFETCH(QString, title);
        Built b = build(120, [&](TReportDesign &d) {
            d.SetPageNumLocation(TPageNumStyle(location));
            d.SetPageNumLabel(label);
            d.SetTitle(title);
        });
        const int pages = b.generator->PageCount();
        QCOMPARE(pages, 4);
        for (int page = 1; page <= pages; ++page) {
            // In the heading font, which the record values (numbered too) do not use.
            const TTextBoxCmd *number = nullptr;
            for (const TTextBoxCmd *box : textBoxes(*b.generator, page)) {
                if (box->Text == label + QString::number(page) &&
                    box->Font == b.design->HeadingFont())
                    number = box;
            }
            QVERIFY2(number, qPrintable(QString::number(page)));
            if (location == pnsBottomCenter) {
                QCOMPARE(number->Y1, 8.5 - 0.8);
                QCOMPARE(number->Y2, 8.5);
                QCOMPARE(int(number->Flags), int(dt::Center));
            } else {
                QCOMPARE(number->Y1, 0.5);
                QCOMPARE(number->X2, 10.5);
                QCOMPARE(int(number->Flags), int(dt::Right));
                // The title line stays reserved: the headings start below it.
                const TTextBoxCmd *heading = findText(*b.generator, "User Name", page);
                QCOMPARE(heading->Y1, 0.5 + heightOf(b.design->TitleFont()) * 1.25);
            }
        }
    }

    void dividers_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("lineCount");
        QTest::newRow("none") << int(dvsNone) << 0;
        QTest::newRow("solid: one line under all headings") << int(dvsSolid) << 1;
        QTest::newRow("dash: one line under each heading") << int(dvsDash) << 2;
    }

    void dividers()
    {
        QFETCH(int, style);
        QFETCH(int, lineCount);
        Built b = build(2, [&](TReportDesign &d) { d.SetDividerStyle(TDividerStyle(style)); });
        const auto dividers = reporttest::lines(*b.generator, 1);
        QCOMPARE(int(dividers.size()), lineCount);
        const TTextBoxCmd *name = findText(*b.generator, QStringLiteral("User Name"));
        const TTextBoxCmd *id = findText(*b.generator, QStringLiteral("ID"));
        const double dividerY = name->Y1 + heightOf(b.design->HeadingFont()) * 1.1;
        for (const TLineCmd *line : dividers)
            QCOMPARE(line->Y1, dividerY);
        if (style == dvsSolid) {
            QCOMPARE(dividers[0]->X1, 0.5);
            QCOMPARE(dividers[0]->X2, id->X2);
        }
        if (style == dvsDash) {
            // Left-aligned "User Name": from its start; centred "ID": under the label's text.
            const double nameLabel =
                textWidthInches(b.design->HeadingFont(), QStringLiteral("User Name"));
            QCOMPARE(dividers[0]->X1, name->X1 + Margin);
            QCOMPARE(dividers[0]->X2, name->X1 + nameLabel + 2 * Margin);
            const double idLabel = textWidthInches(b.design->HeadingFont(), QStringLiteral("ID"));
            const double idColumn = id->X2 - id->X1 - 2 * Margin;
            QCOMPARE(dividers[1]->X1, id->X1 + (idColumn - idLabel) * 0.5 + Margin);
        }
    }

    void executeRestoresTheProducer()
    {
        Built b = build(1);
        int calls = 0;
        b.generator->SetOnBuildReport([&calls](QObject *) { ++calls; });
        b.design->Execute();
        QCOMPARE(calls, 0);
        b.generator->Execute();
        QCOMPARE(calls, 1);
    }

    void headlessBuildMatchesThePreview()
    {
        Built b = build(120, [](TReportDesign &d) {
            d.SetTitle(QStringLiteral("Users"));
            d.SetPageNumLocation(pnsBottomCenter);
        });
        PageRecorder pages;
        b.design->BuildPages(pages);
        QCOMPARE(pages.PageCount(), b.generator->PageCount());
        QCOMPARE(pages.CommandCount(), b.generator->CommandCount());
        const auto headless = textBoxes(pages);
        const auto previewed = textBoxes(*b.generator);
        for (int i = 0; i < headless.size(); ++i) {
            QCOMPARE(headless[i]->Text, previewed[i]->Text);
            QCOMPARE(headless[i]->Y1, previewed[i]->Y1);
            QCOMPARE(headless[i]->Page, previewed[i]->Page);
        }
    }

    void usersOfARealSecurityDatabase()
    {
        const auto users = openUsers();
        users->fieldInfo(QStringLiteral("User_Name")).displayLabel = QStringLiteral("Name");
        TFormGenWin generator;
        generator.SetOptions({});
        TReportDesign design;
        design.SetDataSet(users.get());
        design.SetFormComponent(&generator);
        design.SetTitle(QStringLiteral("User Report"));
        design.SetFields({"User_ID", "User_Name", "User_Def1", "User_Enabled", "User_Admin"});
        design.Execute();
        QVERIFY(findText(generator, QStringLiteral("Name")));
        QVERIFY(findText(generator, QStringLiteral("Alice")));
        QVERIFY(findText(generator, QStringLiteral("Bob & Co")));
        QVERIFY(findText(generator, QStringLiteral("Sales")));
        QCOMPARE(textBoxes(generator).size(), 1 + 5 + 2 * 5 - 1); // Bob has no Def1
        QVERIFY(!findText(generator, QStringLiteral("secret")));
    }

    void designerEditsACopy()
    {
        Built b = build(3, [](TReportDesign &d) { d.SetTitle(QStringLiteral("Before")); });
        {
            TfrmReportDesigner dialog(*b.design);
            QCOMPARE(dialog.edTitle->text(), QStringLiteral("Before"));
            QCOMPARE(dialog.lbReportFields->count(), 2);
            QVERIFY(dialog.lbRemainingFields->isHidden());
            QVERIFY(dialog.frmgenPreview->CommandCount() > 0); // the live preview
            QCOMPARE(dialog.frmgenPreview->ZoomLevel(), 2);
            dialog.edTitle->setText(QStringLiteral("After"));
            dialog.rgrpDivider->buttons()->button(dvsSolid)->click(); // rebuilds the preview
            QVERIFY(findText(*dialog.frmgenPreview, QStringLiteral("After")));
            QVERIFY(!reporttest::lines(*dialog.frmgenPreview).isEmpty());
            dialog.reject();
        }
        QCOMPARE(b.design->Title(), QStringLiteral("Before"));
        QCOMPARE(b.design->DividerStyle(), dvsNone);
        {
            TfrmReportDesigner dialog(*b.design);
            dialog.edTitle->setText(QStringLiteral("After"));
            dialog.lbReportFields->setCurrentRow(0);
            dialog.lbReportFieldsDblClick(); // "Name" back to the remaining fields
            QCOMPARE(dialog.lbRemainingFields->count(), 1);
            dialog.spbtnLeftAllClick();
            QCOMPARE(dialog.lbReportFields->count(), 2);
            dialog.lbReportFields->setCurrentRow(1);
            dialog.spbtnMoveUpClick();
            dialog.rgrpOrient->buttons()->button(0)->click();
            dialog.accept();
        }
        QCOMPARE(b.design->Title(), QStringLiteral("After"));
        QCOMPARE(b.design->Fields(), (QStringList{"Name", "Id"}));
        QVERIFY(b.design->Portrait());
    }

    void designerFieldInformationAndItsCancel()
    {
        Built b = build(3);
        {
            TfrmReportDesigner dialog(*b.design);
            dialog.lbReportFields->setCurrentRow(0);
            QCOMPARE(dialog.edLabel->text(), QStringLiteral("User Name"));
            QCOMPARE(dialog.edWidth->text(), QStringLiteral("20"));
            QTest::keyClicks(dialog.edLabel, QStringLiteral("!"));
            QCOMPARE(b.data->fieldInfo("Name").displayLabel, QStringLiteral("User Name!"));
            dialog.btnRefreshClick();
            QVERIFY(findText(*dialog.frmgenPreview, QStringLiteral("User Name!")));
            dialog.reject();
        }
        QCOMPARE(b.data->fieldInfo("Name").displayLabel, QStringLiteral("User Name"));
    }

    void designerOrdersATableByItsIndexes()
    {
        const auto users = openUsers();
        TReportDesign design;
        design.SetDataSet(users.get());
        design.SetFields({"User_Name"});
        TfrmReportDesigner dialog(design);
        QVERIFY(dialog.lbIndexes->count() >= 2);
        QStringList order;
        for (int row = 0; row < dialog.lbIndexes->count(); ++row) {
            dialog.lbIndexes->setCurrentRow(row);
            QStringList names;
            for (const TTextBoxCmd *box : textBoxes(*dialog.frmgenPreview)) {
                if (box->Text == "Alice" || box->Text == "Bob & Co")
                    names.append(box->Text);
            }
            order.append(names.join(QLatin1Char(',')));
        }
        QVERIFY2(order.contains("Alice,Bob & Co") && order.contains("Bob & Co,Alice"),
                 qPrintable(order.join(';')));
        dialog.reject();
        QCOMPARE(users->indexName(), QString()); // the table's own order again
    }

    void pictureOfAReportPage()
    {
        Built b = build(60, everyPart);
        b.generator->resize(1140, 900);
        b.generator->show();
        QVERIFY(QTest::qWaitForWindowExposed(b.generator.get()));
        const QImage page = b.generator->PaintBox()->grab().toImage();
        QCOMPARE(page.size(), QSize(1100, 850));
        reporttest::keepScreenshot(page, QStringLiteral("report_page"));
        // Ink in the title band and in the footer band, none in the bottom margin's corner.
        QVERIFY(!reporttest::inkBounds(page.copy(400, 45, 300, 30)).isEmpty());
        QVERIFY(!reporttest::inkBounds(page.copy(450, 775, 200, 40)).isEmpty());
        QVERIFY(reporttest::inkBounds(page.copy(900, 700, 150, 100)).isEmpty());
    }

    void pictureOfTheDesigner()
    {
        Built b = build(30, everyPart);
        TfrmReportDesigner dialog(*b.design);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        reporttest::keepScreenshot(dialog.grab().toImage(), QStringLiteral("designer"));
        dialog.tabs->setCurrentIndex(2);
        reporttest::keepScreenshot(dialog.grab().toImage(), QStringLiteral("designer_pagenumbers"));
        dialog.pnlShowFieldList->click();
        dialog.tabs->setCurrentIndex(3);
        reporttest::keepScreenshot(dialog.grab().toImage(), QStringLiteral("designer_fonts"));
        // Every label and button shows its whole text.
        for (auto *button : dialog.findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(&dialog) || button->text().isEmpty())
                continue;
            QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()),
                     qPrintable(button->text()));
        }
        QVERIFY(dialog.lbRemainingFields->isVisible());
        QCOMPARE(dialog.size(), QSize(560, 393));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ui::Application::installFontSubstitutions();
    TestReportDesign test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reportdesign.moc"
