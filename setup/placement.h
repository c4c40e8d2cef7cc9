#pragma once

#include <QLabel>
#include <QString>

namespace setup {

// The setup windows keep the fixed layout their users know: a label sits where it was placed,
// just as wide as its text.
inline QLabel *placeLabel(const QString &name, const QString &text, QWidget *parent, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace setup
