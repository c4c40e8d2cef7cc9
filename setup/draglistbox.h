#pragma once

#include <QListWidget>
#include <functional>

// A sorted list box whose lines can be dragged to another list of the same window, and which
// decides itself whether it takes a drop: the owner answers for the source of each drag.
class DragListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit DragListBox(QWidget *parent = nullptr);

    // Without an acceptor the list takes no drops.
    using DropAcceptor = std::function<bool(QObject *source)>;
    void setDropAcceptor(DropAcceptor acceptor);
    void setDropHandler(std::function<void(QObject *source)> handler);

protected:
    // A drag carries the lines' text only; the receiving list reads the source's selected line.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QListWidgetItem *> &items) const override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool accepts(QDropEvent *event) const;
    static void acceptAsCopy(QDropEvent *event);

    DropAcceptor m_acceptor;
    std::function<void(QObject *)> m_dropHandler;
};
