#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

struct pg_conn;
struct pg_result;

namespace dbe::postgres {

struct PgParameters;

// One result of the server; frees it when it goes.
class PgResult
{
public:
    PgResult() = default;
    explicit PgResult(pg_result *result) : m_result(result) {}
    ~PgResult();
    PgResult(PgResult &&other) noexcept : m_result(other.m_result) { other.m_result = nullptr; }
    PgResult &operator=(PgResult &&other) noexcept;
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;

    pg_result *get() const { return m_result; }
    explicit operator bool() const { return m_result != nullptr; }
    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    // The value in the form the engine's statements hand on: null, bool, qint64, double or text.
    QVariant value(int row, int column) const;
    // Rows an INSERT, UPDATE or DELETE changed.
    int changedRows() const;
    QString columnName(int column) const;
    // The server's number of the table a column was read from (0 for none), and the column's
    // number in it.
    unsigned columnTable(int column) const;
    int columnNumber(int column) const;

private:
    pg_result *m_result = nullptr;
};

// A connection to the server, made with the first password the role accepts. Every statement is
// sent with its values as parameters; a failure becomes a dbe::Error carrying the server's text.
//
// A server restarted, or a session ended by an administrator, costs no more than the call that
// finds it gone: outside a transaction the connection is made again (one attempt, within the busy
// timeout) and the statement sent again, as long as it surely did not run in the old session.
// Inside a transaction a lost connection is that transaction's end: every statement fails until
// it is rolled back.
class PgConnection
{
public:
    struct Settings {
        QString connection;      // libpq connection string, without password
        QString schema;          // folded, as SQL names it
        QString applicationName; // what the lock list reads back as the holder's name
        int busyTimeoutMs = 0;
    };
    // Asked when none of the passwords is the role's; nothing when the user cancelled.
    using Prompt = std::function<std::optional<QString>()>;

    // Tries `passwords` in order, then the prompt. Throws BadPassword when none is the role's
    // (or the prompt was cancelled), Connection when the server cannot be reached or refuses for
    // another reason, InvalidName for a connection string with a password in it.
    static std::unique_ptr<PgConnection> open(const Settings &settings,
                                              const QStringList &passwords, const Prompt &prompt);
    ~PgConnection();
    PgConnection(const PgConnection &) = delete;
    PgConnection &operator=(const PgConnection &) = delete;

    QString password() const { return m_password; }
    const Settings &settings() const { return m_settings; }
    bool inTransaction() const;
    // Counts the sessions the connection has had: what one session proved about the server (a
    // change watch) proves nothing in the next.
    int session() const { return m_session; }
    // Restores in a session made again what the engine held in the one that was lost (table
    // locks), before the statement is sent again; what it throws gives the new session up.
    void setSessionRestorer(std::function<void()> restore) { m_restore = std::move(restore); }

    // A statement with parameters ($1, ...), sent as it stands. `table` names the table it
    // works on ("USERS"), so that a failure can say which is busy.
    PgResult run(const QString &sql, const QVariantList &values = {}, const QString &table = {});
    // The same through a statement the server keeps prepared for this connection: for the
    // statements the engine sends again and again.
    PgResult runPrepared(const QString &sql, const QVariantList &values, const QString &table);
    // The same, sent only in the session as it is: false, sending nothing, when that is gone. For
    // giving back what ends with the session anyway.
    bool runInSession(const QString &sql, const QVariantList &values);
    // Statements without parameters, several separated by semicolons.
    void command(const QString &sql);

    // `text` as an SQL string literal, quoted for this connection's settings.
    QString literal(const QString &text) const;

    void begin();
    void commit();
    // Ending a transaction whose session is gone succeeds: the server has undone it.
    void rollback();

    void setBusyTimeout(int milliseconds);

    // Runs `work` so that its statements take effect together or not at all; inside an open
    // transaction, a failure undoes only what `work` did.
    void atomically(const std::function<void()> &work);

private:
    explicit PgConnection(pg_conn *connection, Settings settings, QString password);
    static void receiveNotice(void *connection, const pg_result *notice);
    void setUpSession();
    bool alive();
    void reconnect();
    PgResult reconnecting(const std::function<PgResult()> &attempt);
    pg_result *send(const QByteArray &sql, const PgParameters &parameters);
    PgResult check(pg_result *result, const QString &table);
    PgResult guarded(const std::function<pg_result *()> &send, const QString &table);

    pg_conn *m_conn;
    Settings m_settings;
    QString m_password;
    QHash<QString, QByteArray> m_prepared; // statement text -> name on the server
    std::function<void()> m_restore;
    int m_session = 1;
    bool m_transactionOpen = false; // also after the session it was open in went
    bool m_restoring = false;
    bool m_sessionEnding = false; // the server said so while the connection was idle
};

// Why libpq cannot use `connection` for the engine: it does not parse, or it holds a password,
// which belongs in no configuration file. An empty text when it can.
QString connectionStringProblem(const QString &connection);

// The values of `values` as libpq sends them: text, or null.
struct PgParameters {
    explicit PgParameters(const QVariantList &values);
    QList<QByteArray> texts;
    QList<const char *> pointers;
};

} // namespace dbe::postgres
