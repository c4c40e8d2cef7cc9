#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace security {

// The fast way to load many users, constants and rights into a security database at once, for
// the import of the previous version's files. SecurityRules opens its cursors for every
// operation, which is forty times slower over 50,000 rights; a load opens them once and writes
// everything in one transaction, done whole or not at all.
//
// It keeps fewer rules than SecurityRules, on purpose: the rows are the old system's, carried
// across as they stand. A constant's or user's name may repeat (loading the same files twice
// doubles them, and the administrator is warned before that happens), and every row gets a new
// id from the table's counter. A right must name a user and a constant: the caller maps the old
// ids to the new ones, and the table's key refuses a right named twice.
class BulkLoad
{
public:
    // What was written, for the caller's summary.
    struct Counts {
        int constants = 0;
        int users = 0;
        int rights = 0;
        bool settings = false;
    };

    // A row as the table keeps it: its new id, and its name as the field holds it (a name
    // longer than the field is cut).
    struct Written {
        qint32 id = 0;
        QString name;
    };

    // Opens the tables of the security database `databaseName` (an alias whose master password
    // is in the engine session), the settings table too when `withSettings`, and begins the
    // transaction. `afterEachOpen` is called after each table is opened (deriving a table's key
    // takes a moment) and may throw to stop there. Throws dbe::Error.
    BulkLoad(const QString &databaseName, bool withSettings,
             const std::function<void()> &afterEachOpen = {});
    // Rolls back whatever was not committed.
    ~BulkLoad();

    BulkLoad(const BulkLoad &) = delete;
    BulkLoad &operator=(const BulkLoad &) = delete;

    Written addConstant(const QString &name);
    Written addUser(const QString &name, const QString &password);
    void grantConstant(qint32 userId, qint32 accessId);
    // Writes the first settings row (appending it to an empty table): the program's label and
    // whether logging is on (nothing: unknown).
    void setSettings(const QString &securityLabel, std::optional<bool> logging);

    // Makes everything loaded so far lasting, with one entry in the audit trail that names the
    // work (`action`, such as "import"), its source and the counts. Throws dbe::Error; nothing
    // is written then.
    void commit(const QString &action, const QString &source);

    const Counts &counts() const { return m_counts; }

private:
    struct Tables;
    std::unique_ptr<Tables> m_tables;
    Counts m_counts;
};

} // namespace security
