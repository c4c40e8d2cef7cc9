#include "setup/draglistbox.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

DragListBox::DragListBox(QWidget *parent) : QListWidget(parent)
{
    setSortingEnabled(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    connect(this, &QListWidget::itemDoubleClicked, this, &DragListBox::lineChosen);
}

void DragListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (currentItem()) {
                if (!currentItem()->isSelected())
                    currentItem()->setSelected(true);
                Q_EMIT lineChosen();
                event->accept();
                return;
            }
            break;
        case Qt::Key_Delete:
            Q_EMIT deletePressed();
            event->accept();
            return;
        default:
            break;
        }
    }
    QListWidget::keyPressEvent(event);
}

void DragListBox::setDropAcceptor(DropAcceptor acceptor)
{
    m_acceptor = std::move(acceptor);
    // The lines never move: a drop runs the owner's handler instead of inserting anything.
    setDragDropMode(m_acceptor ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
    setDropIndicatorShown(false);
}

void DragListBox::setDropHandler(std::function<void(QObject *)> handler)
{
    m_dropHandler = std::move(handler);
}

QStringList DragListBox::mimeTypes() const
{
    return {QStringLiteral("text/plain")};
}

QMimeData *DragListBox::mimeData(const QList<QListWidgetItem *> &items) const
{
    QStringList texts;
    for (const QListWidgetItem *item : items)
        texts.append(item->text());
    auto *data = new QMimeData;
    data->setText(texts.join(QLatin1Char('\n')));
    return data;
}

// A move would let the source view delete the dragged line once the drop is done.
void DragListBox::acceptAsCopy(QDropEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

bool DragListBox::accepts(QDropEvent *event) const
{
    return m_acceptor && m_acceptor(event->source());
}

void DragListBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (accepts(event))
        acceptAsCopy(event);
    else
        event->ignore();
}

void DragListBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (accepts(event))
        acceptAsCopy(event);
    else
        event->ignore();
}

void DragListBox::dropEvent(QDropEvent *event)
{
    if (!accepts(event)) {
        event->ignore();
        return;
    }
    acceptAsCopy(event);
    if (m_dropHandler)
        m_dropHandler(event->source());
}
