#pragma once

#include "report/drawcmds.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <list>
#include <memory>
#include <vector>

class QFile;

namespace report {

using PageCommandList = std::vector<std::unique_ptr<TDrawCmd>>;

// The commands of one recorded page, in recording order, as a value that keeps them alive
// while it is held (a spilled page is read back for as long as someone looks at it).
class RecordedPage
{
public:
    RecordedPage() = default;
    RecordedPage(std::shared_ptr<const PageCommandList> commands, int firstCommand)
        : m_commands(std::move(commands)), m_firstCommand(firstCommand)
    {
    }

    size_t size() const { return m_commands ? m_commands->size() : 0; }
    bool empty() const { return size() == 0; }
    const TDrawCmd &operator[](size_t i) const { return *(*m_commands)[i]; }
    PageCommandList::const_iterator begin() const
    {
        return m_commands ? m_commands->begin() : end();
    }
    PageCommandList::const_iterator end() const
    {
        static const PageCommandList none;
        return m_commands ? m_commands->end() : none.end();
    }
    // The position of the page's first command among all commands of the report.
    int firstCommand() const { return m_firstCommand; }

private:
    std::shared_ptr<const PageCommandList> m_commands;
    int m_firstCommand = 0;
};

// The finished pages of a report. They stay in memory up to a budget; beyond it every finished
// page goes, encoded and compressed, to a temporary file in the user's cache folder, and is
// read back when it is looked at (the last few pages read are kept). A report of any length
// thus takes a bounded share of memory; the file is removed from the folder as soon as it is
// open, so nothing is left behind even when the process dies.
class PageStore
{
public:
    PageStore();
    ~PageStore();
    PageStore(const PageStore &) = delete;
    PageStore &operator=(const PageStore &) = delete;

    // Bytes of commands kept in memory before pages go to the file (default 32 MB).
    void setMemoryBudget(qint64 bytes) { m_budget = bytes; }
    qint64 memoryBudget() const { return m_budget; }

    // Appends the next page (pageCount() + 1).
    void append(std::shared_ptr<const PageCommandList> commands);
    int pageCount() const { return int(m_pages.size()); }
    int commandCount() const { return m_commandCount; }
    // Page 1 to pageCount(); an empty page otherwise. A page that cannot be read back (the
    // file gone bad under us) throws dbe::Error.
    RecordedPage page(int page) const;
    // Whether pages have gone to the file.
    bool spilled() const { return m_file != nullptr; }
    // Estimated bytes of commands now held in memory.
    qint64 residentBytes() const { return m_residentBytes; }

    void clear();

private:
    struct Entry {
        std::shared_ptr<const PageCommandList> commands; // null while only in the file
        qint64 offset = 0;
        qint32 bytes = 0;
        int firstCommand = 0;
        qint64 estimate = 0;
    };

    void openFile();
    void spill(Entry &entry);
    QByteArray encode(const PageCommandList &commands);
    PageCommandList decode(const QByteArray &bytes, int page) const;
    quint16 fontId(const ReportFont &font);

    std::vector<Entry> m_pages;
    std::unique_ptr<QFile> m_file;
    qint64 m_fileEnd = 0;
    qint64 m_budget = 32 * 1024 * 1024;
    qint64 m_residentBytes = 0;
    int m_commandCount = 0;
    std::vector<ReportFont> m_fonts;
    QHash<QByteArray, quint16> m_fontIds;
    quint16 m_lastFontId = 0;
    // Pages read back lately, newest first.
    mutable std::list<std::pair<int, std::shared_ptr<const PageCommandList>>> m_readBack;
};

// A rough size in memory of one command, for the budget.
qint64 estimatedBytes(const TDrawCmd &command);

} // namespace report
