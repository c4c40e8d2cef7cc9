#include "report/frmgennav.h"

#include "dbe/error.h"
#include "report/frmgenwn.h"
#include "ui/engineerror.h"
#include "ui/glyphs.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>

namespace {

const TVisBtnType ButtonKinds[5] = {nbExecute, nbPrint, nbPrevPage, nbNextPage, nbClear};
constexpr int ZoomBoxWidth = 60;
const char *const ButtonNames[5] = {"btnExecute", "btnPrint", "btnPrevPage", "btnNextPage",
                                    "btnClear"};
// What each button is called for a screen reader, and its tooltip until Hints say otherwise.
const char *const ButtonTitles[5] = {"Build", "Print", "Previous Page", "Next Page", "Clear"};
const char *const ButtonTips[5] = {"Build the report", "Print the report", "Previous page",
                                   "Next page", "Clear the preview"};
// The zoom list's entries beside the percentages.
const QString FitWidthText = QStringLiteral("Fit width");
const QString FitPageText = QStringLiteral("Fit page");

// A speed button that acts when any mouse button pressed on it is released over it, as the
// bar's buttons always did; the left button also gives the usual pressed look.
class NavButton : public QToolButton
{
    Q_OBJECT

public:
    using QToolButton::QToolButton;

Q_SIGNALS:
    void activated();

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton) {
            QToolButton::mousePressEvent(event);
            return;
        }
        m_otherPressed = event->button();
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton) {
            QToolButton::mouseReleaseEvent(event);
            return;
        }
        const bool inside = rect().contains(event->position().toPoint());
        if (event->button() == m_otherPressed && inside && isEnabled())
            Q_EMIT activated();
        m_otherPressed = Qt::NoButton;
        event->accept();
    }

private:
    Qt::MouseButton m_otherPressed = Qt::NoButton;
};

} // namespace

TFormGenNav::TFormGenNav(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("FormGenNav"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    resize(177, 25);

    for (int i = 0; i < 5; ++i) {
        auto *button = new NavButton(this);
        button->setObjectName(QString::fromLatin1(ButtonNames[i]));
        button->setIcon(glyphs::navigator(i));
        button->setIconSize(QSize(16, 16));
        // Reached by Tab like every other control; a click leaves the focus where it is.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(QString::fromLatin1(ButtonTitles[i]));
        button->setToolTip(QString::fromLatin1(ButtonTips[i]));
        button->setGeometry(1 + 23 * i, 1, 23, 23);
        connect(button, &QToolButton::clicked, this, [this, i] { buttonAction(i); });
        connect(button, &NavButton::activated, this, [this, i] { buttonAction(i); });
        m_buttons[size_t(i)] = button;
    }
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("cmboxZoom"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->setGeometry(114, (25 - m_zoomBox->sizeHint().height()) / 2, ZoomBoxWidth,
                           m_zoomBox->sizeHint().height());
    // Created in code, the bar is "loaded" at once: the zoom items go in now.
    m_zoomBox->addItems({QStringLiteral("150"), QStringLiteral("100"), QStringLiteral("75"),
                         QStringLiteral("50"), QStringLiteral("25"), FitWidthText, FitPageText});
    m_zoomBox->setAccessibleName(QStringLiteral("Zoom"));
    m_zoomBox->setToolTip(QStringLiteral("Zoom, in percent"));
    // The editor inside has a name of its own, which would otherwise be the percentage.
    m_zoomBox->lineEdit()->setAccessibleName(QStringLiteral("Zoom"));
    connect(m_zoomBox, &QComboBox::currentTextChanged, this, &TFormGenNav::zoomTextChanged);
    updateVisibility();
}

TFormGenNav::~TFormGenNav()
{
    unlink();
}

void TFormGenNav::unlink()
{
    if (m_formComponent)
        m_formComponent->SetOnChange({});
    m_formComponent = nullptr;
}

void TFormGenNav::SetFormComponent(TFormGenWin *generator)
{
    if (generator == m_formComponent)
        return;
    unlink();
    m_formComponent = generator;
    if (m_formComponent) {
        m_formComponent->SetOnChange([this](QObject *sender) { generatorChanged(sender); });
        UpdateEnabling();
    }
}

void TFormGenNav::generatorChanged(QObject *)
{
    if (m_formComponent && m_formComponent->Destroying()) {
        unlink();
        return;
    }
    UpdateEnabling();
    Q_EMIT GeneratorChanged();
}

void TFormGenNav::SetVisibleButtons(TVisBtnSet buttons)
{
    m_visibleButtons = buttons.isEmpty() ? TVisBtnSet{nbExecute} : buttons;
    updateVisibility();
}

void TFormGenNav::SetHints(const QStringList &hints)
{
    m_hints = hints.mid(0, 6);
    for (int i = 0; i < 5; ++i)
        m_buttons[size_t(i)]->setToolTip(m_hints.value(i, QString::fromLatin1(ButtonTips[i])));
    m_zoomBox->setToolTip(m_hints.value(5, QStringLiteral("Zoom, in percent")));
}

void TFormGenNav::Loaded()
{
    int line = 0;
    for (int i = 0; i < 5 && m_hints.size() - line > 1; ++i, ++line)
        m_buttons[size_t(i)]->setToolTip(m_hints.at(line));
    if (line < m_hints.size())
        m_zoomBox->setToolTip(m_hints.at(line));
    updateVisibility();
    UpdateEnabling();
}

bool TFormGenNav::askNavEvent(TFGEvent kind)
{
    bool doDefault = true;
    const TFGNotify handler = m_onNavEvent;
    if (handler)
        handler(this, kind, doDefault);
    return doDefault;
}

void TFormGenNav::buttonAction(int index)
{
    if (!m_formComponent)
        return;
    if (!askNavEvent(TFGEvent(index)))
        return;
    // A report producer's engine failure ends the build; the pages so far stay.
    ui::runGuarded(this, [this, index] {
        switch (index) {
        case 0:
            m_formComponent->Execute();
            break;
        case 1:
            m_formComponent->Print();
            break;
        case 2:
            m_formComponent->PrevPage();
            break;
        case 3:
            m_formComponent->NextPage();
            break;
        default:
            m_formComponent->Clear();
            break;
        }
    });
    UpdateEnabling();
}

void TFormGenNav::zoomTextChanged(const QString &text)
{
    if (m_settingZoomText || !m_formComponent)
        return;
    if (!askNavEvent(fgeZoom))
        return;
    const int before = m_formComponent->ZoomPercent();
    if (text == FitWidthText || text == FitPageText) {
        if (text == FitWidthText)
            m_formComponent->FitWidth();
        else
            m_formComponent->FitPage();
        // The box shows the percentage the fit came to.
        UpdateEnabling();
        return;
    }
    bool isNumber = false;
    int percent = text.trimmed().toInt(&isNumber);
    if (!isNumber)
        percent = 100;
    m_formComponent->SetZoomPercent(percent);
    if (m_formComponent->ZoomPercent() != before)
        UpdateEnabling();
}

void TFormGenNav::UpdateEnabling()
{
    if (!m_formComponent)
        return;
    const bool hasPages = m_formComponent->CommandCount() > 0;
    m_buttons[0]->setEnabled(true);
    m_buttons[1]->setEnabled(hasPages);
    m_buttons[4]->setEnabled(hasPages);
    m_buttons[2]->setEnabled(m_formComponent->CurrentPage() != 1);
    m_buttons[3]->setEnabled(m_formComponent->CurrentPage() != m_formComponent->PageCount());
    const QString percent = QString::number(m_formComponent->ZoomPercent());
    if (m_zoomBox->currentText() != percent) {
        m_settingZoomText = true;
        m_zoomBox->setEditText(percent);
        m_settingZoomText = false;
    }
}

void TFormGenNav::updateVisibility()
{
    for (int i = 0; i < 5; ++i)
        m_buttons[size_t(i)]->setVisible(m_visibleButtons.contains(ButtonKinds[i]));
    m_zoomBox->setVisible(m_visibleButtons.contains(nbZoom));
    layOut();
}

void TFormGenNav::layOut()
{
    if (m_layingOut)
        return;
    m_layingOut = true;
    int shown = 0;
    for (int i = 0; i < 5; ++i)
        shown += m_visibleButtons.contains(ButtonKinds[i]) ? 1 : 0;
    const bool zoomShown = m_visibleButtons.contains(nbZoom);
    const int boxHeight = m_zoomBox->height();
    if (zoomShown && height() < boxHeight + 2)
        resize(width(), boxHeight + 2);

    int buttonWidth = 0;
    if (shown > 0) {
        const int reserved = zoomShown ? 68 : 4;
        buttonWidth = (width() - reserved) / shown;
        resize(shown * buttonWidth + reserved, height());
    }
    int position = 0;
    for (int i = 0; i < 5; ++i) {
        QToolButton *button = m_buttons[size_t(i)];
        if (m_visibleButtons.contains(ButtonKinds[i])) {
            button->setGeometry(1 + buttonWidth * position, 1, std::max(buttonWidth, 0),
                                height() - 2);
            ++position;
        } else {
            button->setGeometry(button->x(), button->y(), 0, button->height());
        }
    }
    if (zoomShown) {
        const int top = (height() - boxHeight) / 2;
        if (shown > 0) // the box keeps its width to the right of the buttons
            m_zoomBox->setGeometry(buttonWidth * shown + 4, top, ZoomBoxWidth, boxHeight);
        else // no button at all: the zoom box gets the whole bar
            m_zoomBox->setGeometry(2, top, std::max(width() - 4, 0), boxHeight);
    }
    m_layingOut = false;
}

void TFormGenNav::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    layOut();
}

void TFormGenNav::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        layOut();
}

void TFormGenNav::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    UpdateEnabling();
    layOut();
}

#include "frmgennav.moc"
