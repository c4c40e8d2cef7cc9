#pragma once

#include "report/reportfont.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QStringList>

namespace dbe {
class DataSet;
}
namespace report {
class PageRecorder;
}
class TFormGenWin;

enum TDividerStyle { dvsNone, dvsSolid, dvsDash };
enum TPageNumStyle { pnsNone, pnsBottomCenter, pnsUpperRight };
enum TDatePosition { dpNone, dpLeft, dpCenter, dpRight };

// Lays a data set out as a paginated table: a title block (title, subtitle, date, page
// number), a row of column headings with an optional divider, and one line per record with one
// column per listed field. It draws nothing itself: it records through a page generator, which
// previews and prints the pages.
class TReportDesign : public QObject
{
    Q_OBJECT

public:
    // The most columns a report lays out; further entries of Fields are left out.
    static constexpr int MaxColumns = 21;

    explicit TReportDesign(QObject *parent = nullptr);
    ~TReportDesign() override;

    // Records the report into FormComponent (its Execute, with this component as its
    // OnBuildReport for the time). Without a generator: the error box "FormComponent Property
    // is not Assigned." and nothing else. Engine errors of the data set propagate.
    void Execute();
    // The layout, called by the generator during its Execute.
    void BuildReport(QObject *Sender);
    // The same report recorded into pages that have no window (saving to files, the
    // command-line tool). Engine errors of the data set propagate.
    void BuildPages(report::PageRecorder &pages);

    // The records to list. The reference clears itself when the data set is destroyed.
    dbe::DataSet *DataSet() const;
    void SetDataSet(dbe::DataSet *dataSet);
    TFormGenWin *FormComponent() const;
    void SetFormComponent(TFormGenWin *generator);

    const report::ReportFont &BodyFont() const { return m_bodyFont; }
    void SetBodyFont(const report::ReportFont &font) { m_bodyFont = font; }
    const report::ReportFont &HeadingFont() const { return m_headingFont; }
    void SetHeadingFont(const report::ReportFont &font) { m_headingFont = font; }
    const report::ReportFont &TitleFont() const { return m_titleFont; }
    void SetTitleFont(const report::ReportFont &font) { m_titleFont = font; }
    const report::ReportFont &SubTitleFont() const { return m_subTitleFont; }
    void SetSubTitleFont(const report::ReportFont &font) { m_subTitleFont = font; }

    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }
    bool TitleCentered() const { return m_titleCentered; }
    void SetTitleCentered(bool centered) { m_titleCentered = centered; }
    QString SubTitle() const { return m_subTitle; }
    void SetSubTitle(const QString &subTitle) { m_subTitle = subTitle; }
    bool Portrait() const { return m_portrait; }
    void SetPortrait(bool portrait) { m_portrait = portrait; }
    TDividerStyle DividerStyle() const { return m_dividerStyle; }
    void SetDividerStyle(TDividerStyle style) { m_dividerStyle = style; }
    QStringList Fields() const { return m_fields; }
    void SetFields(const QStringList &fields) { m_fields = fields; }
    TPageNumStyle PageNumLocation() const { return m_pageNumLocation; }
    void SetPageNumLocation(TPageNumStyle location) { m_pageNumLocation = location; }
    QString PageNumLabel() const { return m_pageNumLabel; }
    void SetPageNumLabel(const QString &label) { m_pageNumLabel = label; }
    // 0 Letter, 1 Legal, 2 A4; other values lay out on Letter.
    int PageSizeIndex() const { return m_pageSizeIndex; }
    void SetPageSizeIndex(int index) { m_pageSizeIndex = index; }
    TDatePosition DatePosition() const { return m_datePosition; }
    void SetDatePosition(TDatePosition position) { m_datePosition = position; }
    // Empty means "ddddd", the short date; see dateformat.h for the notation.
    QString DateFormat() const { return m_dateFormat; }
    void SetDateFormat(const QString &format) { m_dateFormat = format; }

    // What a report without records says below its title block, so that it is not taken for
    // a blank page; empty (the default) records nothing at all for no records.
    QString EmptyText() const { return m_emptyText; }
    void SetEmptyText(const QString &text) { m_emptyText = text; }

    // The date the title block shows; an invalid date (the default) means today.
    QDate ReportDate() const { return m_reportDate; }
    void SetReportDate(const QDate &date) { m_reportDate = date; }

    // Page size in tenths of an inch, portrait, for a PageSizeIndex.
    static QSize paperSize(int pageSizeIndex);

    // Copies every property but the data set and the generator (the designer dialog edits a
    // copy).
    void AssignProperties(const TReportDesign &other);

private:
    class Layout;

    QPointer<dbe::DataSet> m_dataSet;
    QPointer<TFormGenWin> m_formComponent;
    report::ReportFont m_bodyFont;
    report::ReportFont m_headingFont;
    report::ReportFont m_titleFont;
    report::ReportFont m_subTitleFont;
    QString m_title;
    bool m_titleCentered = true;
    QString m_subTitle;
    bool m_portrait = false;
    TDividerStyle m_dividerStyle = dvsNone;
    QStringList m_fields;
    TPageNumStyle m_pageNumLocation = pnsNone;
    QString m_pageNumLabel;
    int m_pageSizeIndex = 0;
    TDatePosition m_datePosition = dpNone;
    QString m_dateFormat;
    QDate m_reportDate;
    QString m_emptyText;
};
