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

Q_SIGNALS:
    // The user chose a line to act on: a double click on it, or Enter on the current line.
    void lineChosen();
    // Delete pressed in the list.
    void deletePressed();

protected:
    // Enter and Delete are the list's own: Enter must not also press the dialog's default button.
    void keyPressEvent(QKeyEvent *event) override;
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
