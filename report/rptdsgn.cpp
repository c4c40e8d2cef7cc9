#include "report/rptdsgn.h"

#include "dbe/dataset.h"
#include "intl/shortdate.h"
#include "report/dateformat.h"
#include "report/frmgenwn.h"
#include "report/pagerecorder.h"
#include "ui/messages.h"

#include <array>

namespace {

// Dates and moments in the kit's one format, the one the desktop's grids and date edits show.
QString cellText(const dbe::DataSet &data, const dbe::FieldInfo &field)
{
    if (field.type != dbe::FieldType::Timestamp && field.type != dbe::FieldType::Date)
        return data.asString(field.name);
    static const controls::ShortDateFormat shortDate = controls::ShortDateFormat::current();
    return shortDate.formatValue(data.value(field.name));
}

} // namespace

using report::PageRecorder;
using report::ReportFont;

namespace {

ReportFont arial(int size, bool bold, bool italic)
{
    ReportFont font;
    font.name = QStringLiteral("Arial");
    font.size = size;
    font.bold = bold;
    font.italic = italic;
    return font;
}

report::TAlignment alignmentOf(const dbe::FieldInfo &field)
{
    if (field.alignment & Qt::AlignHCenter)
        return report::taCenter;
    if (field.alignment & Qt::AlignRight)
        return report::taRightJustify;
    return report::taLeftJustify;
}

QString labelOf(const dbe::FieldInfo &field)
{
    return field.displayLabel.isEmpty() ? field.name : field.displayLabel;
}

} // namespace

// The working state of one build: where the next line goes and how wide each column is.
class TReportDesign::Layout
{
public:
    Layout(TReportDesign &design, PageRecorder &pages, dbe::DataSet &data)
        : d(design), g(pages), data(data)
    {
    }

    void run();

private:
    void header();
    void footer();
    void setFont(const ReportFont &font);
    double heightX() const { return g.GetTextHeight(QStringLiteral("X")); }
    double heightG() const { return g.GetTextHeight(QStringLiteral("G")); }
    QString pageNumberText() const { return d.m_pageNumLabel + QString::number(g.PageCount()); }
    // The listed fields the data set has, with their column positions.
    QList<std::pair<int, const dbe::FieldInfo *>> columns() const;

    TReportDesign &d;
    PageRecorder &g;
    dbe::DataSet &data;
    double W = 0;
    double H = 0;
    double m = 0;
    double CurY = 0;
    double CurX = 0;
    double DividerY = 0;
    std::array<double, MaxColumns> ColWidth{};
};

void TReportDesign::Layout::setFont(const ReportFont &font)
{
    g.SetFont(font);
}

QList<std::pair<int, const dbe::FieldInfo *>> TReportDesign::Layout::columns() const
{
    QList<std::pair<int, const dbe::FieldInfo *>> result;
    const int listed = int(std::min<qsizetype>(d.m_fields.size(), MaxColumns));
    for (int i = 0; i < listed; ++i) {
        const int index = data.fieldIndex(d.m_fields.at(i));
        if (index >= 0)
            result.append({i, &data.fields().at(index)});
    }
    return result;
}

void TReportDesign::Layout::run()
{
    const QSize paper = paperSize(d.m_pageSizeIndex);
    int width = paper.width();
    int height = paper.height();
    if (!d.m_portrait)
        std::swap(width, height);
    g.SetPhyWidth(width);
    g.SetPhyHeight(height);
    W = g.PhyWidth() * 0.1;
    H = g.PhyHeight() * 0.1;
    m = g.TextMargin;

    g.Font().name = QStringLiteral("New Times Roman");
    g.Font().size = 12;
    g.Font().bold = true;
    g.SetAlignment(report::taLeftJustify);
    g.CenterVertically = false;
    g.DrawBox = false;
    g.WordWrap = false;

    CurY = 99999.0;
    bool pageStarted = false;
    if (!data.isOpen())
        data.open();
    data.first();
    const auto listed = columns();
    while (!data.eof()) {
        if (CurY > H - 1.0) {
            if (pageStarted) {
                footer();
                g.NewPage();
            }
            header();
            CurY += heightX() + 0.01;
            pageStarted = true;
        }
        CurX = 0.5;
        setFont(d.m_bodyFont);
        for (const auto &[i, field] : listed) {
            g.SetAlignment(alignmentOf(*field));
            g.StrRect(cellText(data, *field), CurX, CurY, CurX + ColWidth[size_t(i)] + 2 * m,
                      CurY + heightX() + 2 * m);
            CurX += ColWidth[size_t(i)] + 2 * m;
        }
        data.next();
        CurY += heightX() + 0.01;
    }
    if (!pageStarted && !d.m_emptyText.isEmpty()) {
        header();
        CurY += heightX() + 0.01;
        setFont(d.m_bodyFont);
        g.SetAlignment(report::taLeftJustify);
        g.StrRect(d.m_emptyText, 0.5, CurY, W - 0.5, CurY + heightX() + 2 * m);
        pageStarted = true;
    }
    if (pageStarted)
        footer();
}

void TReportDesign::Layout::header()
{
    CurY = 0.5;
    const report::TAlignment titleAlignment =
        d.m_titleCentered ? report::taCenter : report::taLeftJustify;
    if (d.m_pageNumLocation == pnsUpperRight || !d.m_title.isEmpty()) {
        setFont(d.m_titleFont);
        g.SetAlignment(titleAlignment);
        if (!d.m_title.isEmpty())
            g.StrRect(d.m_title, 0.5, CurY, W - 0.5, CurY + heightX() + 2 * m);
        if (d.m_pageNumLocation == pnsUpperRight) {
            setFont(d.m_headingFont);
            g.SetAlignment(report::taRightJustify);
            g.StrRect(pageNumberText(), 0.5, CurY, W - 0.5, CurY + heightX() + 2 * m);
            g.SetAlignment(report::taLeftJustify);
            setFont(d.m_titleFont);
        }
        CurY += heightX() * 1.25;
    }
    if (!d.m_subTitle.isEmpty()) {
        setFont(d.m_subTitleFont);
        g.SetAlignment(titleAlignment);
        g.StrRect(d.m_subTitle, 0.5, CurY, W - 0.5, CurY + heightX() + 3 * m);
        // The date shares the subtitle's line unless it would sit where the subtitle is.
        const bool dateOnOwnLine = d.m_datePosition == dpNone ||
                                   (d.m_datePosition == dpLeft && !d.m_titleCentered) ||
                                   (d.m_datePosition == dpCenter && d.m_titleCentered);
        if (dateOnOwnLine)
            CurY += heightX() * 1.25;
    }
    if (d.m_datePosition != dpNone) {
        setFont(d.m_headingFont);
        g.SetAlignment(d.m_datePosition == dpLeft     ? report::taLeftJustify
                       : d.m_datePosition == dpCenter ? report::taCenter
                                                      : report::taRightJustify);
        if (d.m_dateFormat.isEmpty())
            d.m_dateFormat = QStringLiteral("ddddd");
        const QDate date = d.m_reportDate.isValid() ? d.m_reportDate : QDate::currentDate();
        g.StrRect(report::formatDateTime(d.m_dateFormat, date.startOfDay()), 0.5, CurY, W - 0.5,
                  CurY + heightX() + 3 * m);
        g.SetAlignment(report::taLeftJustify);
        setFont(d.m_subTitleFont);
        CurY += heightX() * 1.25;
    }
    setFont(d.m_headingFont);
    CurX = 0.5;
    const auto listed = columns();
    for (const auto &[i, field] : listed) {
        const report::TAlignment alignment = alignmentOf(*field);
        g.SetAlignment(alignment);
        const QString label = labelOf(*field);
        double &width = ColWidth[size_t(i)];
        width = g.GetTextWidth(label);
        setFont(d.m_bodyFont);
        const double typical = g.GetTextWidth(QString(field->displayWidth, QLatin1Char('o')));
        if (typical > width)
            width = typical;
        setFont(d.m_headingFont);
        g.StrRect(label, CurX, CurY, CurX + width + 2 * m, CurY + heightX() + 2 * m);
        DividerY = CurY + heightG() * 1.1;
        if (d.m_dividerStyle == dvsDash) {
            const double labelWidth = g.GetTextWidth(label);
            double lineX = CurX;
            if (alignment == report::taCenter)
                lineX = CurX + (width - labelWidth) * 0.5;
            else if (alignment == report::taRightJustify)
                lineX = CurX + width - labelWidth;
            g.Line(lineX + m, DividerY, lineX + labelWidth + 2 * m, DividerY);
        }
        CurX += width + 2 * m;
    }
    // Without a column there is nothing for a solid divider to underline.
    if (d.m_dividerStyle == dvsSolid && !listed.isEmpty())
        g.Line(0.5, DividerY, CurX, DividerY);
}

void TReportDesign::Layout::footer()
{
    if (d.m_pageNumLocation != pnsBottomCenter)
        return;
    setFont(d.m_headingFont);
    g.SetAlignment(report::taCenter);
    g.StrRect(pageNumberText(), 0.5, H - 0.8, W - 0.5, H);
}

TReportDesign::TReportDesign(QObject *parent)
    : QObject(parent), m_bodyFont(arial(12, false, false)), m_headingFont(arial(12, true, false)),
      m_titleFont(arial(14, true, false)), m_subTitleFont(arial(12, true, true))
{
}

TReportDesign::~TReportDesign() = default;

dbe::DataSet *TReportDesign::DataSet() const
{
    return m_dataSet;
}

void TReportDesign::SetDataSet(dbe::DataSet *dataSet)
{
    m_dataSet = dataSet;
}

TFormGenWin *TReportDesign::FormComponent() const
{
    return m_formComponent;
}

void TReportDesign::SetFormComponent(TFormGenWin *generator)
{
    m_formComponent = generator;
}

QSize TReportDesign::paperSize(int pageSizeIndex)
{
    switch (pageSizeIndex) {
    case 1:
        return {85, 140}; // Legal
    case 2:
        return {83, 117}; // A4
    default:
        return {85, 110}; // Letter, also for sizes nobody defined
    }
}

void TReportDesign::Execute()
{
    if (!m_formComponent) {
        ui::showError(qobject_cast<QWidget *>(parent()),
                      QStringLiteral("FormComponent Property is not Assigned."));
        return;
    }
    TFormGenWin *generator = m_formComponent;
    const TNotifyEvent previous = generator->OnBuildReport();
    generator->SetOnBuildReport([this](QObject *sender) { BuildReport(sender); });
    try {
        generator->Execute();
    } catch (...) {
        generator->SetOnBuildReport(previous);
        throw;
    }
    generator->SetOnBuildReport(previous);
}

void TReportDesign::BuildReport(QObject *)
{
    if (!m_formComponent || !m_dataSet)
        return;
    Layout(*this, *m_formComponent, *m_dataSet).run();
}

void TReportDesign::BuildPages(PageRecorder &pages)
{
    pages.Build([this](PageRecorder &recorder) {
        if (m_dataSet)
            Layout(*this, recorder, *m_dataSet).run();
    });
}

void TReportDesign::AssignProperties(const TReportDesign &other)
{
    m_bodyFont = other.m_bodyFont;
    m_headingFont = other.m_headingFont;
    m_titleFont = other.m_titleFont;
    m_subTitleFont = other.m_subTitleFont;
    m_title = other.m_title;
    m_titleCentered = other.m_titleCentered;
    m_subTitle = other.m_subTitle;
    m_portrait = other.m_portrait;
    m_dividerStyle = other.m_dividerStyle;
    m_fields = other.m_fields;
    m_pageNumLocation = other.m_pageNumLocation;
    m_pageNumLabel = other.m_pageNumLabel;
    m_pageSizeIndex = other.m_pageSizeIndex;
    m_datePosition = other.m_datePosition;
    m_dateFormat = other.m_dateFormat;
    m_reportDate = other.m_reportDate;
    m_emptyText = other.m_emptyText;
}
