#pragma once

#include "dbe/types.h"
#include "report/rptdsgn.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;
class TFormGenWin;
namespace formkit {
class RadioGroup;
}

// Edits the properties of one tabular report with a live preview. The dialog works on a copy:
// OK gives the copy's properties to the report, Cancel leaves the report as it was (field
// labels, widths, alignments and the record order included).
//
// The "Ordering" tab lists the indexes of a table and chooses the order the report lists its
// records in; a query keeps the order its text gives, so for queries the list stays empty.
// The field settings live with the open data set; the dialog opens a closed data set to read
// its fields and closes it again when it ends.
class TfrmReportDesigner : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmReportDesigner(TReportDesign &design, QWidget *parent = nullptr);
    ~TfrmReportDesigner() override;

    // The copy being edited; the preview shows it.
    const TReportDesign &WorkingDesign() const { return m_work; }

    QLineEdit *edTitle = nullptr;
    QLineEdit *edSubTitle = nullptr;
    QCheckBox *chboxCenterTitle = nullptr;
    QTabWidget *tabs = nullptr;
    // The radio groups' items are in enumeration order; orientation 0 is portrait, zoom 0
    // is 100 %, 1 50 % and 2 25 %.
    formkit::RadioGroup *rgrpDatePos = nullptr;
    QLineEdit *edDateFormat = nullptr;
    formkit::RadioGroup *rgrpDivider = nullptr;
    formkit::RadioGroup *rgrpPageNum = nullptr;
    QLineEdit *edPageNumLabel = nullptr;
    QPushButton *btnTitle = nullptr;
    QPushButton *btnSubTitle = nullptr;
    QPushButton *btnHeading = nullptr;
    QPushButton *btnBody = nullptr;
    QListWidget *lbPageSize = nullptr;
    formkit::RadioGroup *rgrpOrient = nullptr;
    QListWidget *lbIndexes = nullptr;
    QListWidget *lbReportFields = nullptr;
    QToolButton *spbtnMoveUp = nullptr;
    QToolButton *spbtnMoveDown = nullptr;
    QListWidget *lbRemainingFields = nullptr;
    QPushButton *pnlShowFieldList = nullptr;
    QToolButton *spbtnLeft = nullptr;
    QToolButton *spbtnLeftAll = nullptr;
    QToolButton *spbtnRight = nullptr;
    QToolButton *spbtnRightAll = nullptr;
    QLineEdit *edLabel = nullptr;
    QLineEdit *edWidth = nullptr;
    QComboBox *cmboxAlign = nullptr;
    TFormGenWin *frmgenPreview = nullptr;
    formkit::RadioGroup *rgrpZoom = nullptr;
    QPushButton *btnRefresh = nullptr;
    QPushButton *bbtnOk = nullptr;
    QPushButton *bbtnCancel = nullptr;

    void btnRefreshClick();
    void spbtnLeftAllClick();
    void spbtnRightAllClick();
    void lbRemainingFieldsDblClick();
    void lbReportFieldsDblClick();
    void spbtnMoveUpClick();
    void spbtnMoveDownClick();

    void accept() override;
    void reject() override;

private:
    void buildControls();
    void buildTabs();
    void buildFieldLists();
    void loadFromDesign();
    void applyToWork();
    void fillFieldLists();
    void fillIndexes();
    void showFieldInfo();
    dbe::FieldInfo *selectedFieldInfo();
    void chooseFont(report::ReportFont &font, QLabel *sample, const QString &title);
    void showSample(QLabel *sample, const report::ReportFont &font);
    void moveItem(QListWidget *from, QListWidget *to, bool all);
    void restoreDataSet();

    TReportDesign &m_design;
    TReportDesign m_work;
    QLabel *m_titleSample = nullptr;
    QLabel *m_subTitleSample = nullptr;
    QLabel *m_headingSample = nullptr;
    QLabel *m_bodySample = nullptr;
    QList<dbe::FieldInfo> m_savedFields;
    QString m_savedIndex;
    bool m_openedDataSet = false;
    bool m_showingFieldInfo = false;
};
