#include "admin/filebrowsers.h"

#include <QApplication>
#include <QDir>
#include <QStorageInfo>
#include <QStyle>

namespace {

constexpr int PathRole = Qt::UserRole;

QStringList ancestorsOf(const QString &path)
{
    QStringList chain;
    QDir dir(path);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp())
        chain.prepend(dir.absolutePath());
    return chain;
}

} // namespace

DirectoryListBox::DirectoryListBox(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(10);
    setColumnCount(1);
    connect(this, &QTreeWidget::itemActivated, this, &DirectoryListBox::openItem);
}

void DirectoryListBox::setOpensOnClick(bool opens)
{
    if (opens)
        connect(this, &QTreeWidget::itemClicked, this, &DirectoryListBox::openItem,
                Qt::UniqueConnection);
    else
        disconnect(this, &QTreeWidget::itemClicked, this, &DirectoryListBox::openItem);
}

void DirectoryListBox::openItem(QTreeWidgetItem *item)
{
    setDirectory(item->data(0, PathRole).toString());
}

void DirectoryListBox::setDirectory(const QString &path)
{
    const QString cleaned = QDir::cleanPath(QDir(path).absolutePath());
    if (cleaned == m_directory)
        return;
    m_directory = cleaned;
    rebuild();
    Q_EMIT directoryChanged(m_directory);
}

void DirectoryListBox::rebuild()
{
    clear();
    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem *parentItem = nullptr;
    QTreeWidgetItem *current = nullptr;
    for (const QString &folder : ancestorsOf(m_directory)) {
        const QString name = QDir(folder).isRoot() ? folder : QDir(folder).dirName();
        auto *item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, openFolder);
        item->setData(0, PathRole, folder);
        item->setExpanded(true);
        parentItem = item;
        current = item;
    }
    const QDir dir(m_directory);
    const QStringList subfolders =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : subfolders) {
        auto *item = new QTreeWidgetItem(current);
        item->setText(0, name);
        item->setIcon(0, closedFolder);
        item->setData(0, PathRole, dir.absoluteFilePath(name));
    }
    if (current) {
        current->setExpanded(true);
        setCurrentItem(current);
        scrollToItem(current);
    }
}

RootComboBox::RootComboBox(QWidget *parent) : QComboBox(parent)
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        // Containers bind-mount single files (/etc/hosts); only folders can be browsed.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            !roots.contains(volume.rootPath()))
            roots.append(volume.rootPath());
    }
    if (!roots.contains(QDir::rootPath()))
        roots.append(QDir::rootPath());
    roots.sort();
    addItems(roots);
    connect(this, &QComboBox::activated, this,
            [this](int index) { Q_EMIT rootChosen(itemText(index)); });
}

void RootComboBox::showRootOf(const QString &path)
{
    const QString cleaned = QDir::cleanPath(path);
    int best = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemText(i);
        const bool holds = root == QDir::rootPath() || cleaned == root ||
                           cleaned.startsWith(root + QLatin1Char('/'));
        if (holds && (best < 0 || root.size() > itemText(best).size()))
            best = i;
    }
    setCurrentIndex(best);
}

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent)
{
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (item)
            Q_EMIT fileChosen(item->text());
    });
}

void FileListBox::setDirectory(const QString &path)
{
    m_directory = path;
    rebuild();
}

void FileListBox::setMask(const QString &mask)
{
    m_mask = mask;
    rebuild();
}

void FileListBox::rebuild()
{
    const QSignalBlocker quiet(this);
    clear();
    if (m_directory.isEmpty())
        return;
    const QStringList filters =
        m_mask == QStringLiteral("*.*") ? QStringList{QStringLiteral("*")} : QStringList{m_mask};
    addItems(QDir(m_directory).entryList(filters, QDir::Files, QDir::Name | QDir::IgnoreCase));
}
