#include "admin/statuspanel.h"

#include <QFontMetrics>

StatusPanel::StatusPanel(const QString &text, QWidget *parent) : QLabel(parent)
{
    setText(text);
}

void StatusPanel::setText(const QString &text)
{
    m_text = text;
    fitText();
}

void StatusPanel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitText();
}

void StatusPanel::fitText()
{
    // The room the label leaves its text: the frame and the indent on the text's side.
    const int room = contentsRect().width() - qMax(indent(), 0) - margin() * 2;
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideRight, qMax(room, 0));
    QLabel::setText(shown);
    setToolTip(shown == m_text ? QString() : m_text);
}
