#include "report/rptdsgndlg.h"

#include "dbe/dataset.h"
#include "dbe/error.h"
#include "dbe/table.h"
#include "ui/formkit.h"
#include "report/frmgenwn.h"
#include "ui/engineerror.h"
#include "ui/messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace {

int alignmentIndex(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return 1;
    if (alignment & Qt::AlignRight)
        return 2;
    return 0;
}

const Qt::Alignment AlignmentByIndex[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};

} // namespace

TfrmReportDesigner::TfrmReportDesigner(TReportDesign &design, QWidget *parent)
    : QDialog(parent), m_design(design)
{
    setObjectName(QStringLiteral("frmReportDesigner"));
    setWindowTitle(QStringLiteral("Report Designer"));
    setFixedSize(560, 393);
    formkit::applyDialogFont(this, formkit::Weight::Regular);

    m_work.AssignProperties(design);
    m_work.SetDataSet(design.DataSet());
    if (dbe::DataSet *data = design.DataSet()) {
        ui::runGuarded(this, [&] {
            if (!data->isOpen()) {
                data->open();
                m_openedDataSet = true;
            }
            m_savedFields = data->fields();
            if (auto *table = qobject_cast<dbe::Table *>(data))
                m_savedIndex = table->indexName();
        });
    }

    buildControls();
    loadFromDesign();
    formkit::centreOnScreen(this);
    btnRefreshClick();
}

TfrmReportDesigner::~TfrmReportDesigner()
{
    // The preview must not call back into a half-destroyed dialog.
    frmgenPreview->SetOnBuildReport({});
    if (m_openedDataSet && m_design.DataSet())
        m_design.DataSet()->close();
}

void TfrmReportDesigner::buildControls()
{
    using formkit::place;
    formkit::placeLabel({}, QStringLiteral("Title Text:"), this, 8, 10);
    edTitle = place<QLineEdit>(this, QStringLiteral("edTitle"), {96, 6, 174, 21});
    formkit::placeLabel({}, QStringLiteral("Sub-Title Text:"), this, 8, 36);
    edSubTitle = place<QLineEdit>(this, QStringLiteral("edSubTitle"), {96, 32, 174, 21});
    chboxCenterTitle = new QCheckBox(QStringLiteral("Center Titles on Page"), this);
    chboxCenterTitle->setObjectName(QStringLiteral("chboxCenterTitle"));
    chboxCenterTitle->move(96, 57);
    chboxCenterTitle->adjustSize();
    chboxCenterTitle->setChecked(true);

    buildTabs();
    buildFieldLists();

    frmgenPreview = place<TFormGenWin>(this, QStringLiteral("frmgenPreview"), {286, 8, 266, 196});
    frmgenPreview->SetOptions({});
    frmgenPreview->SetPhyWidth(85);
    frmgenPreview->SetPhyHeight(110);
    m_work.SetFormComponent(frmgenPreview);
    frmgenPreview->SetOnBuildReport([this](QObject *sender) { m_work.BuildReport(sender); });

    rgrpZoom = place<formkit::RadioGroup>(
        this, QStringLiteral("rgrpZoom"), {286, 208, 266, 42}, QStringLiteral("Zoom Level:"),
        QStringList{QStringLiteral("100%"), QStringLiteral("50%"), QStringLiteral("25%")}, 3, 84);
    rgrpZoom->setItemIndex(1);
    frmgenPreview->SetZoomLevel(2);
    connect(rgrpZoom->buttons(), &QButtonGroup::idClicked, this,
            [this](int id) { frmgenPreview->SetZoomLevel(id + 1); });

    auto *info = place<QGroupBox>(this, QStringLiteral("grpFieldInfo"), {286, 254, 266, 96},
                                  QStringLiteral("Field Information"));
    formkit::placeLabel({}, QStringLiteral("Label:"), info, 10, 22);
    edLabel = place<QLineEdit>(info, QStringLiteral("edLabel"), {80, 18, 176, 21});
    formkit::placeLabel({}, QStringLiteral("Width:"), info, 10, 46);
    edWidth = place<QLineEdit>(info, QStringLiteral("edWidth"), {80, 42, 50, 21});
    edWidth->setValidator(new QIntValidator(0, 255, edWidth));
    formkit::placeLabel({}, QStringLiteral("Alignment:"), info, 10, 70);
    cmboxAlign = place<QComboBox>(info, QStringLiteral("cmboxAlign"), {80, 66, 130, 22});
    cmboxAlign->addItems({QStringLiteral("taLeftJustify"), QStringLiteral("taCenter"),
                          QStringLiteral("taRightJustify")});
    connect(edLabel, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (dbe::FieldInfo *field = selectedFieldInfo())
            field->displayLabel = text;
    });
    connect(edWidth, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (dbe::FieldInfo *field = selectedFieldInfo())
            field->displayWidth = text.toInt();
    });
    connect(cmboxAlign, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_showingFieldInfo || index < 0)
            return;
        if (dbe::FieldInfo *field = selectedFieldInfo())
            field->alignment = AlignmentByIndex[index];
    });

    btnRefresh = place<QPushButton>(this, QStringLiteral("btnRefresh"), {286, 358, 118, 27},
                                    QStringLiteral("Refresh Preview"));
    QFont bold = btnRefresh->font();
    bold.setBold(true);
    btnRefresh->setFont(bold);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmReportDesigner::btnRefreshClick);
    const formkit::OkCancel buttons =
        formkit::placeOkCancel(this, QStringLiteral("bbtnOk"), {414, 358, 66, 27},
                               QStringLiteral("bbtnCancel"), {486, 358, 66, 27});
    bbtnOk = buttons.ok;
    bbtnCancel = buttons.cancel;
}

void TfrmReportDesigner::buildTabs()
{
    using formkit::place;
    using formkit::RadioGroup;
    tabs = place<QTabWidget>(this, QStringLiteral("tabs"), {8, 80, 270, 126});
    // Six tabs share the dialog's narrow left column: no scroll arrows, tighter tabs.
    tabs->setUsesScrollButtons(false);
    tabs->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));

    auto *date = new QWidget;
    rgrpDatePos = place<RadioGroup>(date, QStringLiteral("rgrpDatePos"), {6, 4, 246, 60},
                                    QStringLiteral("Position:"),
                                    QStringList{QStringLiteral("None"), QStringLiteral("Left"),
                                                QStringLiteral("Center"), QStringLiteral("Right")},
                                    2, 110);
    formkit::placeLabel({}, QStringLiteral("Format:"), date, 8, 72);
    edDateFormat = place<QLineEdit>(date, QStringLiteral("edDateFormat"), {60, 68, 120, 21});
    tabs->addTab(date, QStringLiteral("Date"));

    auto *divider = new QWidget;
    rgrpDivider = place<RadioGroup>(
        divider, QStringLiteral("rgrpDivider"), {6, 4, 246, 84}, QStringLiteral("Type"),
        QStringList{QStringLiteral("None"), QStringLiteral("Solid"), QStringLiteral("Dash")}, 1, 0);
    connect(rgrpDivider->buttons(), &QButtonGroup::idClicked, this, [this] { btnRefreshClick(); });
    tabs->addTab(divider, QStringLiteral("Divider"));

    auto *pageNumbers = new QWidget;
    rgrpPageNum = place<RadioGroup>(
        pageNumbers, QStringLiteral("rgrpPageNum"), {6, 4, 246, 60}, QStringLiteral("Location:"),
        QStringList{QStringLiteral("None"), QStringLiteral("Bottom-Center"),
                    QStringLiteral("Top-Right")},
        2, 110);
    formkit::placeLabel({}, QStringLiteral("Label:"), pageNumbers, 8, 72);
    edPageNumLabel =
        place<QLineEdit>(pageNumbers, QStringLiteral("edPageNumLabel"), {60, 68, 120, 21});
    tabs->addTab(pageNumbers, QStringLiteral("Page#s"));

    auto *fonts = new QWidget;
    const auto makeRow = [fonts](const char *name, const char *caption, int row, QLabel *&sample) {
        auto *button = place<QPushButton>(fonts, QString::fromLatin1(name),
                                          {6, 4 + row * 22, 76, 21}, QString::fromLatin1(caption));
        sample = place<QLabel>(fonts, QString(), {88, 4 + row * 22, 164, 21},
                               QStringLiteral("AaBbYyZz"));
        return button;
    };
    btnTitle = makeRow("btnTitle", "Title", 0, m_titleSample);
    btnSubTitle = makeRow("btnSubTitle", "Sub-Title", 1, m_subTitleSample);
    btnHeading = makeRow("btnHeading", "Heading", 2, m_headingSample);
    btnBody = makeRow("btnBody", "Body", 3, m_bodySample);
    connect(btnTitle, &QPushButton::clicked, this, [this] {
        report::ReportFont font = m_work.TitleFont();
        chooseFont(font, m_titleSample, QStringLiteral("Title"));
        m_work.SetTitleFont(font);
    });
    connect(btnSubTitle, &QPushButton::clicked, this, [this] {
        report::ReportFont font = m_work.SubTitleFont();
        chooseFont(font, m_subTitleSample, QStringLiteral("Sub-Title"));
        m_work.SetSubTitleFont(font);
    });
    connect(btnHeading, &QPushButton::clicked, this, [this] {
        report::ReportFont font = m_work.HeadingFont();
        chooseFont(font, m_headingSample, QStringLiteral("Heading"));
        m_work.SetHeadingFont(font);
    });
    connect(btnBody, &QPushButton::clicked, this, [this] {
        report::ReportFont font = m_work.BodyFont();
        chooseFont(font, m_bodySample, QStringLiteral("Body"));
        m_work.SetBodyFont(font);
    });
    tabs->addTab(fonts, QStringLiteral("Fonts"));

    auto *page = new QWidget;
    lbPageSize = place<QListWidget>(page, QStringLiteral("lbPageSize"), {6, 6, 110, 84});
    lbPageSize->addItems({QStringLiteral("Letter (8.5x11)"), QStringLiteral("Legal (8.5x14)"),
                          QStringLiteral("A4")});
    rgrpOrient = place<RadioGroup>(
        page, QStringLiteral("rgrpOrient"), {124, 4, 128, 64}, QStringLiteral("Orientation:"),
        QStringList{QStringLiteral("Portrait"), QStringLiteral("Landscape")}, 1, 0);
    tabs->addTab(page, QStringLiteral("Page"));

    auto *ordering = new QWidget;
    lbIndexes = place<QListWidget>(ordering, QStringLiteral("lbIndexes"), {6, 6, 246, 84});
    connect(lbIndexes, &QListWidget::currentRowChanged, this, [this](int row) {
        auto *table = qobject_cast<dbe::Table *>(m_work.DataSet());
        if (!table || row < 0)
            return;
        ui::runGuarded(this, [&] {
            table->setIndexName(lbIndexes->item(row)->data(Qt::UserRole).toString());
            btnRefreshClick();
        });
    });
    tabs->addTab(ordering, QStringLiteral("Ordering"));
}

void TfrmReportDesigner::buildFieldLists()
{
    using formkit::place;
    using formkit::placeSpeedButton;
    auto *header = place<QLabel>(this, QStringLiteral("pnlReportFields"), {8, 212, 110, 18},
                                 QStringLiteral("Report Fields"));
    header->setFrameStyle(QFrame::Panel | QFrame::Raised);
    header->setAlignment(Qt::AlignCenter);
    lbReportFields = place<QListWidget>(this, QStringLiteral("lbReportFields"), {8, 230, 110, 126});
    spbtnMoveUp = placeSpeedButton(this, QStringLiteral("spbtnMoveUp"), {8, 360, 24, 24},
                                   QStringLiteral("\u25B2"));
    spbtnMoveUp->setToolTip(QStringLiteral("Move field up in list"));
    spbtnMoveDown = placeSpeedButton(this, QStringLiteral("spbtnMoveDown"), {34, 360, 24, 24},
                                     QStringLiteral("\u25BC"));
    spbtnMoveDown->setToolTip(QStringLiteral("Move field down in list"));

    spbtnLeft = placeSpeedButton(this, QStringLiteral("spbtnLeft"), {123, 240, 24, 24},
                                 QStringLiteral("<"));
    spbtnLeftAll = placeSpeedButton(this, QStringLiteral("spbtnLeftAll"), {123, 268, 24, 24},
                                    QStringLiteral("<<"));
    spbtnRight = placeSpeedButton(this, QStringLiteral("spbtnRight"), {123, 296, 24, 24},
                                  QStringLiteral(">"));
    spbtnRightAll = placeSpeedButton(this, QStringLiteral("spbtnRightAll"), {123, 324, 24, 24},
                                     QStringLiteral(">>"));

    lbRemainingFields =
        place<QListWidget>(this, QStringLiteral("lbRemainingFields"), {152, 212, 120, 144});
    lbRemainingFields->hide();
    pnlShowFieldList = place<QPushButton>(this, QStringLiteral("pnlShowFieldList"),
                                          {152, 212, 120, 144}, QStringLiteral("Show Field List"));
    pnlShowFieldList->setFlat(true);
    connect(pnlShowFieldList, &QPushButton::clicked, this, [this] {
        pnlShowFieldList->hide();
        lbRemainingFields->show();
    });

    for (QListWidget *list : {lbReportFields, lbRemainingFields}) {
        list->setDragDropMode(QAbstractItemView::DragDrop);
        list->setDefaultDropAction(Qt::MoveAction);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        // Whatever moved an entry (buttons, double click, drag and drop), the report's field
        // list follows the left-hand list.
        connect(list->model(), &QAbstractItemModel::rowsInserted, this, [this] { applyToWork(); });
        connect(list->model(), &QAbstractItemModel::rowsRemoved, this, [this] { applyToWork(); });
    }
    connect(lbRemainingFields, &QListWidget::itemDoubleClicked, this,
            &TfrmReportDesigner::lbRemainingFieldsDblClick);
    connect(lbReportFields, &QListWidget::itemDoubleClicked, this,
            &TfrmReportDesigner::lbReportFieldsDblClick);
    connect(spbtnLeft, &QToolButton::clicked, this, &TfrmReportDesigner::lbRemainingFieldsDblClick);
    connect(spbtnLeftAll, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnLeftAllClick);
    connect(spbtnRight, &QToolButton::clicked, this, &TfrmReportDesigner::lbReportFieldsDblClick);
    connect(spbtnRightAll, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnRightAllClick);
    connect(spbtnMoveUp, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnMoveUpClick);
    connect(spbtnMoveDown, &QToolButton::clicked, this, &TfrmReportDesigner::spbtnMoveDownClick);
    connect(lbReportFields, &QListWidget::currentRowChanged, this,
            &TfrmReportDesigner::showFieldInfo);
}

void TfrmReportDesigner::loadFromDesign()
{
    edTitle->setText(m_work.Title());
    edSubTitle->setText(m_work.SubTitle());
    chboxCenterTitle->setChecked(m_work.TitleCentered());
    rgrpDatePos->setItemIndex(m_work.DatePosition());
    edDateFormat->setText(m_work.DateFormat());
    rgrpDivider->setItemIndex(m_work.DividerStyle());
    rgrpPageNum->setItemIndex(m_work.PageNumLocation());
    edPageNumLabel->setText(m_work.PageNumLabel());
    const int sizeIndex = m_work.PageSizeIndex();
    lbPageSize->setCurrentRow(sizeIndex >= 0 && sizeIndex <= 2 ? sizeIndex : 0);
    rgrpOrient->setItemIndex(m_work.Portrait() ? 0 : 1);
    showSample(m_titleSample, m_work.TitleFont());
    showSample(m_subTitleSample, m_work.SubTitleFont());
    showSample(m_headingSample, m_work.HeadingFont());
    showSample(m_bodySample, m_work.BodyFont());
    fillFieldLists();
    fillIndexes();
    showFieldInfo();
}

void TfrmReportDesigner::fillFieldLists()
{
    const QSignalBlocker reportBlocker(lbReportFields->model());
    const QSignalBlocker remainingBlocker(lbRemainingFields->model());
    lbReportFields->clear();
    lbRemainingFields->clear();
    lbReportFields->addItems(m_work.Fields());
    if (const dbe::DataSet *data = m_work.DataSet()) {
        for (const dbe::FieldInfo &field : data->fields()) {
            bool listed = false;
            for (const QString &name : m_work.Fields())
                listed = listed || name.compare(field.name, Qt::CaseInsensitive) == 0;
            if (!listed)
                lbRemainingFields->addItem(field.name);
        }
    }
}

void TfrmReportDesigner::fillIndexes()
{
    auto *table = qobject_cast<dbe::Table *>(m_work.DataSet());
    lbIndexes->setEnabled(table && table->isOpen());
    if (!table || !table->isOpen())
        return;
    const QSignalBlocker blocker(lbIndexes);
    for (const dbe::IndexDef &index : table->definition().indexes) {
        auto *item = new QListWidgetItem(index.primary ? QStringLiteral("(Primary) ") +
                                                             index.fields.join(QStringLiteral(", "))
                                                       : index.name,
                                         lbIndexes);
        item->setData(Qt::UserRole, index.primary ? QString() : index.name);
        if (item->data(Qt::UserRole).toString().compare(table->indexName(), Qt::CaseInsensitive) ==
            0)
            lbIndexes->setCurrentItem(item);
    }
}

void TfrmReportDesigner::applyToWork()
{
    m_work.SetTitle(edTitle->text());
    m_work.SetSubTitle(edSubTitle->text());
    m_work.SetTitleCentered(chboxCenterTitle->isChecked());
    m_work.SetDatePosition(TDatePosition(std::max(rgrpDatePos->itemIndex(), 0)));
    m_work.SetDateFormat(edDateFormat->text());
    m_work.SetDividerStyle(TDividerStyle(std::max(rgrpDivider->itemIndex(), 0)));
    m_work.SetPageNumLocation(TPageNumStyle(std::max(rgrpPageNum->itemIndex(), 0)));
    m_work.SetPageNumLabel(edPageNumLabel->text());
    m_work.SetPageSizeIndex(std::max(lbPageSize->currentRow(), 0));
    m_work.SetPortrait(rgrpOrient->itemIndex() == 0);
    QStringList fields;
    for (int row = 0; row < lbReportFields->count(); ++row)
        fields.append(lbReportFields->item(row)->text());
    m_work.SetFields(fields);
}

void TfrmReportDesigner::btnRefreshClick()
{
    applyToWork();
    ui::runGuarded(this, [&] {
        frmgenPreview->Execute();
    });
}

void TfrmReportDesigner::moveItem(QListWidget *from, QListWidget *to, bool all)
{
    if (all) {
        while (from->count() > 0)
            to->addItem(from->takeItem(0));
        return;
    }
    const int row = from->currentRow();
    if (row < 0)
        return;
    to->addItem(from->takeItem(row));
    to->setCurrentRow(to->count() - 1);
}

void TfrmReportDesigner::lbRemainingFieldsDblClick()
{
    moveItem(lbRemainingFields, lbReportFields, false);
}

void TfrmReportDesigner::spbtnLeftAllClick()
{
    moveItem(lbRemainingFields, lbReportFields, true);
}

void TfrmReportDesigner::lbReportFieldsDblClick()
{
    moveItem(lbReportFields, lbRemainingFields, false);
}

void TfrmReportDesigner::spbtnRightAllClick()
{
    moveItem(lbReportFields, lbRemainingFields, true);
}

void TfrmReportDesigner::spbtnMoveUpClick()
{
    const int row = lbReportFields->currentRow();
    if (row <= 0)
        return;
    lbReportFields->insertItem(row - 1, lbReportFields->takeItem(row));
    lbReportFields->setCurrentRow(row - 1);
}

void TfrmReportDesigner::spbtnMoveDownClick()
{
    const int row = lbReportFields->currentRow();
    if (row < 0 || row + 1 >= lbReportFields->count())
        return;
    lbReportFields->insertItem(row + 1, lbReportFields->takeItem(row));
    lbReportFields->setCurrentRow(row + 1);
}

dbe::FieldInfo *TfrmReportDesigner::selectedFieldInfo()
{
    dbe::DataSet *data = m_work.DataSet();
    QListWidgetItem *item = lbReportFields->currentItem();
    if (!data || !item || !data->hasField(item->text()))
        return nullptr;
    return &data->fieldInfo(item->text());
}

void TfrmReportDesigner::showFieldInfo()
{
    m_showingFieldInfo = true;
    const dbe::FieldInfo *field = selectedFieldInfo();
    edLabel->setEnabled(field);
    edWidth->setEnabled(field);
    cmboxAlign->setEnabled(field);
    edLabel->setText(field ? field->displayLabel : QString());
    edWidth->setText(field ? QString::number(field->displayWidth) : QString());
    cmboxAlign->setCurrentIndex(field ? alignmentIndex(field->alignment) : -1);
    m_showingFieldInfo = false;
}

void TfrmReportDesigner::showSample(QLabel *sample, const report::ReportFont &font)
{
    sample->setFont(font.toPointFont());
    QPalette palette = sample->palette();
    palette.setColor(QPalette::WindowText, font.color);
    sample->setPalette(palette);
}

void TfrmReportDesigner::chooseFont(report::ReportFont &font, QLabel *sample, const QString &title)
{
    bool chosen = false;
    const QFont picked =
        QFontDialog::getFont(&chosen, font.toPointFont(), this, title, QFontDialog::ScalableFonts);
    if (!chosen)
        return;
    font = report::ReportFont::fromQFont(picked, font.color);
    showSample(sample, font);
}

void TfrmReportDesigner::restoreDataSet()
{
    dbe::DataSet *data = m_design.DataSet();
    if (!data || !data->isOpen())
        return;
    for (const dbe::FieldInfo &saved : m_savedFields) {
        if (data->hasField(saved.name))
            data->fieldInfo(saved.name) = saved;
    }
    if (auto *table = qobject_cast<dbe::Table *>(data);
        table && table->indexName() != m_savedIndex) {
        ui::runGuarded(this, [&] {
            table->setIndexName(m_savedIndex);
        });
    }
}

void TfrmReportDesigner::accept()
{
    applyToWork();
    m_design.AssignProperties(m_work);
    QDialog::accept();
}

void TfrmReportDesigner::reject()
{
    restoreDataSet();
    QDialog::reject();
}
