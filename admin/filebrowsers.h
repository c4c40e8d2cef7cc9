#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>

// The small file-system browsers the desktop's dialogs are built from. They read the disk
// directly and at once, so that a dialog shows exactly what is there when it is asked.

// A directory list: the chain of folders from the root down to the current directory, and the
// subfolders of the current one below it. Activating (double-clicking) a folder makes it the
// current directory.
class DirectoryListBox : public QTreeWidget
{
    Q_OBJECT

public:
    explicit DirectoryListBox(QWidget *parent = nullptr);

    QString directory() const { return m_directory; }
    void setDirectory(const QString &path);
    // A single click opens a folder, as a double click always does.
    void setOpensOnClick(bool opens);

Q_SIGNALS:
    void directoryChanged(const QString &path);

private:
    void rebuild();
    void openItem(QTreeWidgetItem *item);

    QString m_directory;
};

// Stands where a drive box stood: the roots of the mounted file systems. Choosing one makes its
// root the current directory of the linked directory list.
class RootComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit RootComboBox(QWidget *parent = nullptr);

    // Selects the root that holds `path` (the longest mount point above it).
    void showRootOf(const QString &path);

Q_SIGNALS:
    void rootChosen(const QString &root);
};

// The files of one directory that match a mask ("*.pas"; "*.*" matches every file). Choosing a
// file reports its name.
class FileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit FileListBox(QWidget *parent = nullptr);

    QString directory() const { return m_directory; }
    void setDirectory(const QString &path);
    // A single click opens a folder, as a double click always does.
    void setOpensOnClick(bool opens);
    QString mask() const { return m_mask; }
    void setMask(const QString &mask);

Q_SIGNALS:
    void fileChosen(const QString &fileName);

private:
    void rebuild();
    void openItem(QTreeWidgetItem *item);

    QString m_directory;
    QString m_mask = QStringLiteral("*.*");
};
