#pragma once

#include <QLabel>

// One panel of the main window's status bar. It shows its text whole when it fits and elided
// ("ACME Order Desk - He…") when it does not, with the whole text as its tooltip then; text()
// is always the whole text.
class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    explicit StatusPanel(const QString &text, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const { return m_text; }
    void clear() { setText(QString()); }
    // What the panel shows at its present width.
    QString shownText() const { return QLabel::text(); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitText();

    QString m_text;
};
