#pragma once

#include "report/enumset.h"

#include <QFrame>
#include <QPointer>
#include <QStringList>
#include <array>
#include <functional>

class QComboBox;
class QToolButton;
class TFormGenWin;

enum TVisBtnType { nbExecute, nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear };
using TVisBtnSet = report::EnumSet<TVisBtnType>;

enum TFGEvent { fgeExecute, fgePrint, fgePrevPage, fgeNextPage, fgeClear, fgeZoom };

class TFormGenNav;
// Told before each action; setting DoDefault to false cancels it.
using TFGNotify = std::function<void(TFormGenNav *Sender, TFGEvent EventType, bool &DoDefault)>;

// The button bar of a page generator: build, print, previous and next page, clear, and a zoom
// percentage. Its buttons follow the generator's state through the generator's OnChange.
class TFormGenNav : public QFrame
{
    Q_OBJECT

public:
    explicit TFormGenNav(QWidget *parent = nullptr);
    ~TFormGenNav() override;

    TFormGenWin *FormComponent() const { return m_formComponent; }
    // Links to the generator as its one OnChange listener. A generator linked before is let
    // go first, so it no longer calls this bar.
    void SetFormComponent(TFormGenWin *generator);

    TVisBtnSet VisibleButtons() const { return m_visibleButtons; }
    // An empty set shows the build button alone.
    void SetVisibleButtons(TVisBtnSet buttons);

    // The hints of buttons 0 to 4, then the zoom box. Setting them keeps at most six lines.
    const QStringList &Hints() const { return m_hints; }
    QStringList &Hints() { return m_hints; }
    void SetHints(const QStringList &hints);
    // What a form does after it has read the bar from its resource: applies the stored Hints
    // line by line to the buttons as long as a line is left over (up to button 4), the next
    // one to the zoom box, and updates the bar.
    void Loaded();

    TFGNotify OnNavEvent() const { return m_onNavEvent; }
    void SetOnNavEvent(TFGNotify handler) { m_onNavEvent = std::move(handler); }

    // Enables the buttons to match the generator and shows its zoom percentage.
    void UpdateEnabling();

    // Button 0 to 4 (build, print, previous, next, clear) and the zoom box.
    QToolButton *Button(int index) const { return m_buttons.at(size_t(index)); }
    QComboBox *ZoomBox() const { return m_zoomBox; }

    QSize sizeHint() const override { return {177, 25}; }

Q_SIGNALS:
    void OnClick();
    // After every change the generator tells (a build, a page turned, a zoom), once the bar
    // has followed it; a window shows its own page count from here.
    void GeneratorChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buttonAction(int index);
    void zoomTextChanged(const QString &text);
    void generatorChanged(QObject *sender);
    void unlink();
    void updateVisibility();
    void layOut();
    bool askNavEvent(TFGEvent kind);

    std::array<QToolButton *, 5> m_buttons{};
    QComboBox *m_zoomBox = nullptr;
    QStringList m_hints;
    TVisBtnSet m_visibleButtons{nbExecute, nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear};
    TFormGenWin *m_formComponent = nullptr;
    TFGNotify m_onNavEvent;
    bool m_settingZoomText = false;
    bool m_layingOut = false;
};
