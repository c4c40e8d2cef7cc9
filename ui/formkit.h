#pragma once

#include <QGroupBox>
#include <QRect>
#include <QString>
#include <QStringList>
#include <utility>

class QButtonGroup;
class QDialog;
class QFont;
class QIcon;
class QLabel;
class QLineEdit;
class QPushButton;
class QSize;
class QToolButton;
class QWidget;

// The small pieces every window of the kit is built from, in one place: the windows keep the
// fixed layout their users know, in the face the old framework gave them. A form reads as the
// list of its controls and their places; they are made in tab order.
namespace formkit {

// A control made on `parent`, named and put at its place on the form. Any further arguments go
// to the control's constructor before the parent, as Qt's constructors take them: a caption, a
// title, an icon.
template <typename Widget, typename... Args>
Widget *place(QWidget *parent, const QString &name, const QRect &geometry, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A label placed where the form has it, just as wide as its text. A label whose caption is
// replaced later is given its `width`, since a label outside a layout does not grow with a
// longer text. A label that names an input is its buddy: Alt and the underlined letter reach
// the input, and screen readers announce the input by the label's text.
QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y,
                   int width = 0, QWidget *buddy = nullptr);

// Makes `label` the buddy of `input` and names the input after it for screen readers (the
// caption without "&" and final ":"), unless it has a name already.
void nameByLabel(QWidget *input, QLabel *label);
// A caption as a screen reader should say it: "&Password:" gives "Password".
QString accessibleText(const QString &caption);

// A dialog's OK and Cancel buttons: OK is the default button and accepts the dialog, Cancel
// rejects it.
struct OkCancel {
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
};
OkCancel placeOkCancel(QDialog *dialog, const QString &okName, const QRect &okPlace,
                       const QString &cancelName, const QRect &cancelPlace);

// A speed button: Tab reaches it, but a click leaves the focus where it was, so the list whose
// line it acts on keeps its selection in view.
QToolButton *placeSpeedButton(QWidget *parent, const QString &name, const QRect &geometry,
                              const QString &text = {});
// A speed button showing a glyph of `glyphSize`.
QToolButton *placeGlyphButton(QWidget *parent, const QString &name, const QRect &geometry,
                              const QIcon &glyph, const QSize &glyphSize);

// A titled group of radio buttons of which one is selected, addressed by index (the order of
// `items`). Stacked one under the other by a layout, or, on a form of fixed places, in rows
// of `perRow` buttons `columnWidth` apart.
class RadioGroup : public QGroupBox
{
    Q_OBJECT

public:
    RadioGroup(const QString &title, const QStringList &items, QWidget *parent = nullptr);
    RadioGroup(const QString &title, const QStringList &items, int perRow, int columnWidth,
               QWidget *parent);

    int itemIndex() const;
    void setItemIndex(int index);
    // The buttons themselves, for a form that reacts to a click alone and not to
    // setItemIndex().
    QButtonGroup *buttons() const { return m_buttons; }

Q_SIGNALS:
    void itemIndexChanged(int index);

private:
    void selectFirstAndReport();

    QButtonGroup *m_buttons = nullptr;
};

// A password field as the old dialogs masked it, an asterisk for each character typed.
void maskAsPassword(QLineEdit *edit);

// Windows open centred on the screen, not over their opener.
void centreOnScreen(QWidget *window);

enum class Weight { Regular, Bold };
// The dialogs' 8-point "MS Sans Serif" (mapped to a free face at start-up).
QFont dialogFont(Weight weight);
void applyDialogFont(QWidget *widget, Weight weight);

} // namespace formkit
