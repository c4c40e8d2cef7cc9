#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace dbe {
class ChangeWatch;
class Database;
} // namespace dbe

// The access constants the logged-on user holds, directly or through his groups, read at one
// moment and kept for exactly as long as nobody has committed to the rights or the groups'
// members since. A host asks for access each time it builds a menu; keeping one user's answers
// spares every ask a walk of his rows, and the storage's change watch keeps the answers as fresh
// as reading the tables would.
class HeldRights
{
public:
    HeldRights();
    ~HeldRights();
    HeldRights(const HeldRights &) = delete;
    HeldRights &operator=(const HeldRights &) = delete;

    // The kept answer for the user, or nothing when it has to be read from the tables: none
    // kept, kept for another user, or something was committed since.
    std::optional<bool> answer(int userId, int accessId) const;

    // Reads the user's rights, in one statement with the watch where the storage can (a
    // server: one round trip), else in a transaction of its own, and keeps them when the
    // storage can watch the tables. False when nothing could be kept: the storage cannot watch
    // cheaply, or the connection is inside a transaction of its caller's, whose uncommitted
    // writes the tables show but the watch would not. Throws the engine's failures.
    bool reload(dbe::Database &database, int userId);
    // Whether the rights reload() has just read hold the constant: as fresh as the read, with
    // no second look at the watch (on a server, a second round trip).
    bool held(int accessId) const;

    // False once the storage gave no watch: asking again before clear() only costs a read.
    bool storageWatches() const { return m_storageWatches; }

    // Forgets everything, for a logon or a logoff.
    void clear();

    // For tests: called inside reload() right after the watch is taken, while the transaction
    // holds the tables against writers; not called where the storage reads and watches in one
    // statement, which leaves no moment between the two.
    static void setAfterWatchHook(std::function<void()> hook);

private:
    int m_userId = -1;
    std::vector<int> m_accessIds; // sorted
    std::unique_ptr<dbe::ChangeWatch> m_watch;
    bool m_storageWatches = true;
    // The statement that reads the rights, built once for the database it was built for.
    const dbe::Database *m_readDatabase = nullptr;
    QString m_readSql;
};
