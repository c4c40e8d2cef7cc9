#include "ui/formkit.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

namespace formkit {

QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y,
                   int width, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    if (width > 0)
        label->resize(width, label->height());
    if (buddy)
        nameByLabel(buddy, label);
    return label;
}

QString accessibleText(const QString &caption)
{
    QString text = caption;
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

void nameByLabel(QWidget *input, QLabel *label)
{
    label->setBuddy(input);
    // Lists and tables do not take their name from a buddy label the way edits do; the name is
    // set for every kind alike, so that no input is announced by a group box's title instead.
    if (input->accessibleName().isEmpty())
        input->setAccessibleName(accessibleText(label->text()));
}

OkCancel placeOkCancel(QDialog *dialog, const QString &okName, const QRect &okPlace,
                       const QString &cancelName, const QRect &cancelPlace)
{
    OkCancel buttons;
    buttons.ok = place<QPushButton>(dialog, okName, okPlace, QStringLiteral("OK"));
    buttons.ok->setDefault(true);
    buttons.cancel = place<QPushButton>(dialog, cancelName, cancelPlace, QStringLiteral("Cancel"));
    QObject::connect(buttons.ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}

QToolButton *placeSpeedButton(QWidget *parent, const QString &name, const QRect &geometry,
                              const QString &text)
{
    auto *button = place<QToolButton>(parent, name, geometry);
    button->setText(text);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QToolButton *placeGlyphButton(QWidget *parent, const QString &name, const QRect &geometry,
                              const QIcon &glyph, const QSize &glyphSize)
{
    QToolButton *button = placeSpeedButton(parent, name, geometry);
    button->setIcon(glyph);
    button->setIconSize(glyphSize);
    return button;
}

RadioGroup::RadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent), m_buttons(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i));
        m_buttons->addButton(button, i);
        layout->addWidget(button);
    }
    selectFirstAndReport();
}

RadioGroup::RadioGroup(const QString &title, const QStringList &items, int perRow, int columnWidth,
                       QWidget *parent)
    : QGroupBox(title, parent), m_buttons(new QButtonGroup(this))
{
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        button->move(10 + (i % perRow) * columnWidth, 20 + (i / perRow) * 20);
        button->adjustSize();
        m_buttons->addButton(button, i);
    }
    selectFirstAndReport();
}

void RadioGroup::selectFirstAndReport()
{
    if (QAbstractButton *first = m_buttons->button(0))
        first->setChecked(true);
    connect(m_buttons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            Q_EMIT itemIndexChanged(id);
    });
}

int RadioGroup::itemIndex() const
{
    return m_buttons->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (QAbstractButton *button = m_buttons->button(index))
        button->setChecked(true);
}

void maskAsPassword(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

QFont dialogFont(Weight weight)
{
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setBold(weight == Weight::Bold);
    return font;
}

void applyDialogFont(QWidget *widget, Weight weight)
{
    widget->setFont(dialogFont(weight));
}

} // namespace formkit
