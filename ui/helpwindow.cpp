#include "ui/helpwindow.h"

#include "ui/formkit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ui {

namespace {

const QString ContentsPage = QStringLiteral("contents.html");

QStringList keywordsOfPage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(file.readAll());
    static const QRegularExpression meta(
        QStringLiteral(R"re(<meta\s+name\s*=\s*"keywords"\s+content\s*=\s*"([^"]*)")re"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList keywords;
    const QRegularExpressionMatch match = meta.match(html);
    if (match.hasMatch()) {
        for (const QString &keyword : match.captured(1).split(QLatin1Char(';'))) {
            const QString trimmed = keyword.trimmed();
            if (!trimmed.isEmpty())
                keywords.append(trimmed);
        }
    }
    return keywords;
}

} // namespace

HelpBook::HelpBook(const QString &folder) : m_folder(folder)
{
    const QDir dir(folder);
    const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString &page : pages) {
        const QUrl url = QUrl::fromLocalFile(dir.absoluteFilePath(page));
        for (const QString &keyword : keywordsOfPage(dir.absoluteFilePath(page))) {
            // The first page to claim a keyword keeps it; pages are read in name order.
            if (!m_keywords.contains(keyword))
                m_keywords.insert(keyword, url);
        }
    }
}

bool HelpBook::isValid() const
{
    return !m_folder.isEmpty() && QFileInfo::exists(QDir(m_folder).filePath(ContentsPage));
}

QUrl HelpBook::contentsPage() const
{
    return QUrl::fromLocalFile(QDir(m_folder).absoluteFilePath(ContentsPage));
}

QStringList HelpBook::sortedKeywords() const
{
    QStringList list = m_keywords.keys();
    std::sort(list.begin(), list.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return list;
}

QList<QPair<QString, QUrl>> HelpBook::topics() const
{
    QFile file(QDir(m_folder).filePath(ContentsPage));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString html = QString::fromUtf8(file.readAll());
    static const QRegularExpression link(
        QStringLiteral(R"re(<a\s+href="([^"]+)"\s*>([^<]+)</a>)re"),
        QRegularExpression::CaseInsensitiveOption);
    QList<QPair<QString, QUrl>> list;
    for (const QRegularExpressionMatch &match : link.globalMatch(html)) {
        list.append({match.captured(2).simplified(),
                     QUrl::fromLocalFile(QDir(m_folder).absoluteFilePath(match.captured(1)))});
    }
    return list;
}

HelpBook HelpBook::find(const QString &name)
{
    QStringList candidates;
    const QString fromEnvironment = qEnvironmentVariable("VESK_HELP_DIR");
    if (!fromEnvironment.isEmpty())
        candidates.append(QDir(fromEnvironment).filePath(name));
    candidates.append(QDir(QCoreApplication::applicationDirPath())
                          .filePath(QStringLiteral("../share/vesksecure/help/") + name));
    for (const QString &candidate : std::as_const(candidates)) {
        HelpBook book(QDir::cleanPath(candidate));
        if (book.isValid())
            return book;
    }
    return {};
}

HelpWindow::HelpWindow(const HelpBook &book, QWidget *parent)
    : QWidget(parent, Qt::Window), m_book(book)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Security Administration Help"));
    resize(860, 520);

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("tabsHelp"));

    m_contents = new QListWidget;
    m_contents->setObjectName(QStringLiteral("lbContents"));
    m_contents->setAccessibleName(tr("Contents"));
    auto *contentsItem = new QListWidgetItem(tr("Contents"), m_contents);
    contentsItem->setData(Qt::UserRole, m_book.contentsPage());
    for (const auto &[title, page] : m_book.topics()) {
        auto *item = new QListWidgetItem(title, m_contents);
        item->setData(Qt::UserRole, page);
    }
    connect(m_contents, &QListWidget::currentItemChanged, this, [this](QListWidgetItem *item) {
        if (item)
            m_page->setSource(item->data(Qt::UserRole).toUrl());
    });
    m_tabs->addTab(m_contents, tr("Contents"));

    auto *indexPage = new QWidget;
    auto *indexLayout = new QVBoxLayout(indexPage);
    auto *keywordLabel = new QLabel(tr("Type the first letters of a keyword:"));
    indexLayout->addWidget(keywordLabel);
    m_keywordEdit = new QLineEdit;
    m_keywordEdit->setObjectName(QStringLiteral("edKeyword"));
    formkit::nameByLabel(m_keywordEdit, keywordLabel);
    indexLayout->addWidget(m_keywordEdit);
    m_keywordList = new QListWidget;
    m_keywordList->setObjectName(QStringLiteral("lbKeywords"));
    m_keywordList->setAccessibleName(tr("Keywords"));
    m_keywordList->addItems(m_book.sortedKeywords());
    indexLayout->addWidget(m_keywordList);
    auto *display = new QPushButton(tr("&Display"));
    display->setObjectName(QStringLiteral("btnDisplay"));
    indexLayout->addWidget(display);
    m_tabs->addTab(indexPage, tr("Index"));

    connect(m_keywordEdit, &QLineEdit::textEdited, this, &HelpWindow::filterKeywords);
    connect(m_keywordEdit, &QLineEdit::returnPressed, this, &HelpWindow::openSelectedKeyword);
    connect(m_keywordList, &QListWidget::itemActivated, this, &HelpWindow::openSelectedKeyword);
    connect(display, &QPushButton::clicked, this, &HelpWindow::openSelectedKeyword);

    m_page = new QTextBrowser;
    m_page->setObjectName(QStringLiteral("browserPage"));

    auto *splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_page);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({300, 540});
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    connect(m_page, &QTextBrowser::sourceChanged, this, &HelpWindow::followPage);
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::followPage(const QUrl &page)
{
    const QUrl shown = page.adjusted(QUrl::RemoveFragment);
    for (int row = 0; row < m_contents->count(); ++row) {
        if (m_contents->item(row)->data(Qt::UserRole).toUrl() == shown) {
            const QSignalBlocker quiet(m_contents);
            m_contents->setCurrentRow(row);
            return;
        }
    }
    // A page the contents do not list: no line stays highlighted for another page.
    const QSignalBlocker quiet(m_contents);
    m_contents->setCurrentRow(-1);
}

void HelpWindow::presentWindow()
{
    if (!m_placed) {
        // The first time over the middle of the window it helps with (or of the screen), not
        // wherever the window system puts new windows.
        m_placed = true;
        const QWidget *over = parentWidget() ? parentWidget()->window() : nullptr;
        QRect frame = frameGeometry();
        if (over && over->isVisible())
            frame.moveCenter(over->frameGeometry().center());
        else if (const QScreen *screen = this->screen())
            frame.moveCenter(screen->availableGeometry().center());
        if (const QScreen *screen = over ? over->screen() : this->screen()) {
            // Whole on the screen, even over a window near its edge.
            const QRect room = screen->availableGeometry();
            frame.moveLeft(qBound(room.left(), frame.left(), room.right() - frame.width() + 1));
            frame.moveTop(qBound(room.top(), frame.top(), room.bottom() - frame.height() + 1));
        }
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

void HelpWindow::showContents()
{
    m_tabs->setCurrentIndex(0);
    m_contents->setCurrentRow(0);
    m_page->setSource(m_book.contentsPage());
    presentWindow();
}

void HelpWindow::showSearch(const QString &keyword)
{
    m_tabs->setCurrentIndex(1);
    m_keywordEdit->setText(keyword);
    filterKeywords(keyword);
    presentWindow();
    m_keywordEdit->setFocus();
}

void HelpWindow::showTopic(const QString &page)
{
    const QString path = QDir(m_book.folder()).absoluteFilePath(page);
    if (page.isEmpty() || !QFileInfo::exists(path)) {
        showContents();
        return;
    }
    m_tabs->setCurrentIndex(0);
    m_page->setSource(QUrl::fromLocalFile(path));
    presentWindow();
}

QUrl HelpWindow::currentPage() const
{
    return m_page->source();
}

void HelpWindow::filterKeywords(const QString &typed)
{
    // As in a printed index: the list stays whole and the first entry starting with the typed
    // letters is selected.
    for (int row = 0; row < m_keywordList->count(); ++row) {
        if (m_keywordList->item(row)->text().startsWith(typed, Qt::CaseInsensitive)) {
            m_keywordList->setCurrentRow(row);
            m_keywordList->scrollToItem(m_keywordList->item(row), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void HelpWindow::openSelectedKeyword()
{
    const QListWidgetItem *item = m_keywordList->currentItem();
    if (!item)
        return;
    const QUrl page = m_book.keywords().value(item->text());
    if (page.isValid())
        m_page->setSource(page);
}

} // namespace ui
