#pragma once

#include <QMap>
#include <QUrl>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace ui {

// A help book: a folder of HTML pages with "contents.html" as its contents page. Each page
// names its index keywords in <meta name="keywords" content="first; second; ...">, and the
// keyword index is gathered from them.
class HelpBook
{
public:
    HelpBook() = default;
    explicit HelpBook(const QString &folder);

    bool isValid() const;
    QString folder() const { return m_folder; }
    QUrl contentsPage() const;
    // Keyword -> page.
    const QMap<QString, QUrl> &keywords() const { return m_keywords; }
    // The keywords sorted case-blind, as an index is read.
    QStringList sortedKeywords() const;
    // The topics the contents page links to, in its order: title and page.
    QList<QPair<QString, QUrl>> topics() const;

    // The installed book of that name: $VESK_HELP_DIR/<name>, then
    // <program>/../share/vesksecure/help/<name>. Invalid when neither holds it.
    static HelpBook find(const QString &name);

private:
    QString m_folder;
    QMap<QString, QUrl> m_keywords;
};

// The window that shows a help book: a contents tab and a keyword index tab beside the page.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(const HelpBook &book, QWidget *parent = nullptr);

    // Shows the contents page.
    void showContents();
    // Shows one page of the book by its file name ("setup.html"); the contents page when the
    // book has no such page.
    void showTopic(const QString &page);
    // Shows the keyword index with `keyword` typed into its search line; the first keyword
    // starting with it is selected.
    void showSearch(const QString &keyword);

    QUrl currentPage() const;

private:
    void filterKeywords(const QString &typed);
    void openSelectedKeyword();
    void presentWindow();
    // Keeps the contents list on the topic shown, however it was reached (a link, the index).
    void followPage(const QUrl &page);

    HelpBook m_book;
    QTabWidget *m_tabs = nullptr;
    QListWidget *m_contents = nullptr;
    QLineEdit *m_keywordEdit = nullptr;
    QListWidget *m_keywordList = nullptr;
    QTextBrowser *m_page = nullptr;
    bool m_placed = false;
};

} // namespace ui
