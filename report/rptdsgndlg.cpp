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

// A group box of radio buttons laid out in rows of `perRow`, ids in the given order.
QButtonGroup *radioGroup(QGroupBox *box, const QStringList &captions, int perRow, int columnWidth)
{
    auto *group = new QButtonGroup(box);
    for (int i = 0; i < captions.size(); ++i) {
        auto *radio = new QRadioButton(captions.at(i), box);
        radio->move(10 + (i % perRow) * columnWidth, 20 + (i / perRow) * 20);
        radio->adjustSize();
        group->addButton(radio, i);
    }
    return group;
}

QToolButton *toolButton(const QString &name, const QString &text, QWidget *parent, int x, int y)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setGeometry(x, y, 24, 24);
    return button;
}

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
    formkit::placeLabel({}, QStringLiteral("Title Text:"), this, 8, 10);
    edTitle = new QLineEdit(this);
    edTitle->setObjectName(QStringLiteral("edTitle"));
    edTitle->setGeometry(96, 6, 174, 21);
    formkit::placeLabel({}, QStringLiteral("Sub-Title Text:"), this, 8, 36);
    edSubTitle = new QLineEdit(this);
    edSubTitle->setObjectName(QStringLiteral("edSubTitle"));
    edSubTitle->setGeometry(96, 32, 174, 21);
    chboxCenterTitle = new QCheckBox(QStringLiteral("Center Titles on Page"), this);
    chboxCenterTitle->setObjectName(QStringLiteral("chboxCenterTitle"));
    chboxCenterTitle->move(96, 57);
    chboxCenterTitle->adjustSize();
    chboxCenterTitle->setChecked(true);

    buildTabs();
    buildFieldLists();

    frmgenPreview = new TFormGenWin(this);
    frmgenPreview->setObjectName(QStringLiteral("frmgenPreview"));
    frmgenPreview->setGeometry(286, 8, 266, 196);
    frmgenPreview->SetOptions({});
    frmgenPreview->SetPhyWidth(85);
    frmgenPreview->SetPhyHeight(110);
    m_work.SetFormComponent(frmgenPreview);
    frmgenPreview->SetOnBuildReport([this](QObject *sender) { m_work.BuildReport(sender); });

    rgrpZoom = new QGroupBox(QStringLiteral("Zoom Level:"), this);
    rgrpZoom->setObjectName(QStringLiteral("rgrpZoom"));
    rgrpZoom->setGeometry(286, 208, 266, 42);
    ZoomButtons = radioGroup(
        rgrpZoom, {QStringLiteral("100%"), QStringLiteral("50%"), QStringLiteral("25%")}, 3, 84);
    ZoomButtons->button(1)->setChecked(true);
    frmgenPreview->SetZoomLevel(2);
    connect(ZoomButtons, &QButtonGroup::idClicked, this,
            [this](int id) { frmgenPreview->SetZoomLevel(id + 1); });

    auto *info = new QGroupBox(QStringLiteral("Field Information"), this);
    info->setObjectName(QStringLiteral("grpFieldInfo"));
    info->setGeometry(286, 254, 266, 96);
    formkit::placeLabel({}, QStringLiteral("Label:"), info, 10, 22);
    edLabel = new QLineEdit(info);
    edLabel->setObjectName(QStringLiteral("edLabel"));
    edLabel->setGeometry(80, 18, 176, 21);
    formkit::placeLabel({}, QStringLiteral("Width:"), info, 10, 46);
    edWidth = new QLineEdit(info);
    edWidth->setObjectName(QStringLiteral("edWidth"));
    edWidth->setValidator(new QIntValidator(0, 255, edWidth));
    edWidth->setGeometry(80, 42, 50, 21);
    formkit::placeLabel({}, QStringLiteral("Alignment:"), info, 10, 70);
    cmboxAlign = new QComboBox(info);
    cmboxAlign->setObjectName(QStringLiteral("cmboxAlign"));
    cmboxAlign->addItems({QStringLiteral("taLeftJustify"), QStringLiteral("taCenter"),
                          QStringLiteral("taRightJustify")});
    cmboxAlign->setGeometry(80, 66, 130, 22);
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

    btnRefresh = new QPushButton(QStringLiteral("Refresh Preview"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    QFont bold = btnRefresh->font();
    bold.setBold(true);
    btnRefresh->setFont(bold);
    btnRefresh->setGeometry(286, 358, 118, 27);
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmReportDesigner::btnRefreshClick);
    bbtnOk = new QPushButton(QStringLiteral("OK"), this);
    bbtnOk->setObjectName(QStringLiteral("bbtnOk"));
    bbtnOk->setGeometry(414, 358, 66, 27);
    bbtnOk->setDefault(true);
    connect(bbtnOk, &QPushButton::clicked, this, &TfrmReportDesigner::accept);
    bbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bbtnCancel->setObjectName(QStringLiteral("bbtnCancel"));
    bbtnCancel->setGeometry(486, 358, 66, 27);
    connect(bbtnCancel, &QPushButton::clicked, this, &TfrmReportDesigner::reject);
}

void TfrmReportDesigner::buildTabs()
{
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->setGeometry(8, 80, 270, 126);
    // Six tabs share the dialog's narrow left column: no scroll arrows, tighter tabs.
    tabs->setUsesScrollButtons(false);
    tabs->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));

    auto *date = new QWidget;
    rgrpDatePos = new QGroupBox(QStringLiteral("Position:"), date);
    rgrpDatePos->setObjectName(QStringLiteral("rgrpDatePos"));
    rgrpDatePos->setGeometry(6, 4, 246, 60);
    DatePosButtons = radioGroup(rgrpDatePos,
                                {QStringLiteral("None"), QStringLiteral("Left"),
                                 QStringLiteral("Center"), QStringLiteral("Right")},
                                2, 110);
    formkit::placeLabel({}, QStringLiteral("Format:"), date, 8, 72);
    edDateFormat = new QLineEdit(date);
    edDateFormat->setObjectName(QStringLiteral("edDateFormat"));
    edDateFormat->setGeometry(60, 68, 120, 21);
    tabs->addTab(date, QStringLiteral("Date"));

    auto *divider = new QWidget;
    rgrpDivider = new QGroupBox(QStringLiteral("Type"), divider);
    rgrpDivider->setObjectName(QStringLiteral("rgrpDivider"));
    rgrpDivider->setGeometry(6, 4, 246, 84);
    DividerButtons =
        radioGroup(rgrpDivider,
                   {QStringLiteral("None"), QStringLiteral("Solid"), QStringLiteral("Dash")}, 1, 0);
    connect(DividerButtons, &QButtonGroup::idClicked, this, [this] { btnRefreshClick(); });
    tabs->addTab(divider, QStringLiteral("Divider"));

    auto *pageNumbers = new QWidget;
    rgrpPageNum = new QGroupBox(QStringLiteral("Location:"), pageNumbers);
    rgrpPageNum->setObjectName(QStringLiteral("rgrpPageNum"));
    rgrpPageNum->setGeometry(6, 4, 246, 60);
    PageNumButtons = radioGroup(
        rgrpPageNum,
        {QStringLiteral("None"), QStringLiteral("Bottom-Center"), QStringLiteral("Top-Right")}, 2,
        110);
    formkit::placeLabel({}, QStringLiteral("Label:"), pageNumbers, 8, 72);
    edPageNumLabel = new QLineEdit(pageNumbers);
    edPageNumLabel->setObjectName(QStringLiteral("edPageNumLabel"));
    edPageNumLabel->setGeometry(60, 68, 120, 21);
    tabs->addTab(pageNumbers, QStringLiteral("Page#s"));

    auto *fonts = new QWidget;
    const auto makeRow = [fonts](const char *name, const char *caption, int row, QLabel *&sample) {
        auto *button = new QPushButton(QString::fromLatin1(caption), fonts);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(6, 4 + row * 22, 76, 21);
        sample = new QLabel(QStringLiteral("AaBbYyZz"), fonts);
        sample->setGeometry(88, 4 + row * 22, 164, 21);
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
    lbPageSize = new QListWidget(page);
    lbPageSize->setObjectName(QStringLiteral("lbPageSize"));
    lbPageSize->addItems({QStringLiteral("Letter (8.5x11)"), QStringLiteral("Legal (8.5x14)"),
                          QStringLiteral("A4")});
    lbPageSize->setGeometry(6, 6, 110, 84);
    rgrpOrient = new QGroupBox(QStringLiteral("Orientation:"), page);
    rgrpOrient->setObjectName(QStringLiteral("rgrpOrient"));
    rgrpOrient->setGeometry(124, 4, 128, 64);
    OrientButtons =
        radioGroup(rgrpOrient, {QStringLiteral("Portrait"), QStringLiteral("Landscape")}, 1, 0);
    tabs->addTab(page, QStringLiteral("Page"));

    auto *ordering = new QWidget;
    lbIndexes = new QListWidget(ordering);
    lbIndexes->setObjectName(QStringLiteral("lbIndexes"));
    lbIndexes->setGeometry(6, 6, 246, 84);
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
    auto *header = new QLabel(QStringLiteral("Report Fields"), this);
    header->setObjectName(QStringLiteral("pnlReportFields"));
    header->setFrameStyle(QFrame::Panel | QFrame::Raised);
    header->setAlignment(Qt::AlignCenter);
    header->setGeometry(8, 212, 110, 18);
    lbReportFields = new QListWidget(this);
    lbReportFields->setObjectName(QStringLiteral("lbReportFields"));
    lbReportFields->setGeometry(8, 230, 110, 126);
    spbtnMoveUp = toolButton(QStringLiteral("spbtnMoveUp"), QStringLiteral("\u25B2"), this, 8, 360);
    spbtnMoveUp->setToolTip(QStringLiteral("Move field up in list"));
    spbtnMoveDown =
        toolButton(QStringLiteral("spbtnMoveDown"), QStringLiteral("\u25BC"), this, 34, 360);
    spbtnMoveDown->setToolTip(QStringLiteral("Move field down in list"));

    spbtnLeft = toolButton(QStringLiteral("spbtnLeft"), QStringLiteral("<"), this, 123, 240);
    spbtnLeftAll = toolButton(QStringLiteral("spbtnLeftAll"), QStringLiteral("<<"), this, 123, 268);
    spbtnRight = toolButton(QStringLiteral("spbtnRight"), QStringLiteral(">"), this, 123, 296);
    spbtnRightAll =
        toolButton(QStringLiteral("spbtnRightAll"), QStringLiteral(">>"), this, 123, 324);

    lbRemainingFields = new QListWidget(this);
    lbRemainingFields->setObjectName(QStringLiteral("lbRemainingFields"));
    lbRemainingFields->setGeometry(152, 212, 120, 144);
    lbRemainingFields->hide();
    pnlShowFieldList = new QPushButton(QStringLiteral("Show Field List"), this);
    pnlShowFieldList->setObjectName(QStringLiteral("pnlShowFieldList"));
    pnlShowFieldList->setFlat(true);
    pnlShowFieldList->setGeometry(152, 212, 120, 144);
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
    DatePosButtons->button(m_work.DatePosition())->setChecked(true);
    edDateFormat->setText(m_work.DateFormat());
    DividerButtons->button(m_work.DividerStyle())->setChecked(true);
    PageNumButtons->button(m_work.PageNumLocation())->setChecked(true);
    edPageNumLabel->setText(m_work.PageNumLabel());
    const int sizeIndex = m_work.PageSizeIndex();
    lbPageSize->setCurrentRow(sizeIndex >= 0 && sizeIndex <= 2 ? sizeIndex : 0);
    OrientButtons->button(m_work.Portrait() ? 0 : 1)->setChecked(true);
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
    m_work.SetDatePosition(TDatePosition(std::max(DatePosButtons->checkedId(), 0)));
    m_work.SetDateFormat(edDateFormat->text());
    m_work.SetDividerStyle(TDividerStyle(std::max(DividerButtons->checkedId(), 0)));
    m_work.SetPageNumLocation(TPageNumStyle(std::max(PageNumButtons->checkedId(), 0)));
    m_work.SetPageNumLabel(edPageNumLabel->text());
    m_work.SetPageSizeIndex(std::max(lbPageSize->currentRow(), 0));
    m_work.SetPortrait(OrientButtons->checkedId() == 0);
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
