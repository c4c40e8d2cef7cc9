#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace dbe::postgres {

class PgConnection;

// The count a schema keeps of the transactions that changed each watched table: a row per table
// in the schema's dbe_changes, moved on by a statement-level trigger within the writing
// transaction itself, so that it commits with the change or not at all.
//
// Nothing a writing role can switch off or preset may stop the count: the trigger fires in every
// replication role, and marks the transaction it counted in the counted row, not in a setting.
// What the count cannot see (rows added through a child table, a table renamed into the watched
// one's place, a trigger or function changed) is part of the compared state, or refuses a watch.
class ChangeCount
{
public:
    explicit ChangeCount(QString schema); // as the server names it

    // Creates the count for `table` (a server name), or brings an earlier one up to date.
    void prepare(PgConnection &server, const QString &table) const;

    // Whether the count of `tables` (an array of server names, as text) can be trusted: in an
    // open transaction that has written nothing, with every table counted by the current trigger
    // and nothing about the tables that it could not see.
    //
    // A schema counted by an earlier version of the kit (no transaction mark, a trigger that
    // replicas bypass) is not brought up to date here, in a reader's transaction that must not
    // write: it gives no watch, and the access tests read the tables, until prepare() runs again.
    bool trustworthy(PgConnection &server, const QString &tables) const;

    // What a watch compares, one statement looked up by key: per table its identity, its count
    // and the transaction that last counted, its trigger and the trigger function's version.
    struct State {
        QString text;
        bool complete = false; // every table has its counted row
    };
    State state(PgConnection &server, const QString &tables) const;

    // The rows of the SELECT `sql` (parameters $1 to $n for `values`) read in one statement with
    // the checks of trustworthy() and the state: nothing when a check fails, or a table has no
    // counted row. Outside a transaction, where that statement is a transaction of its own.
    struct WatchedRead {
        QString state;
        QList<QVariantList> rows;
    };
    std::optional<WatchedRead> readWatched(PgConnection &server, const QString &tables,
                                           const QString &sql, const QVariantList &values) const;

private:
    QString trustQuery() const;
    QString stateQuery() const;
    QVariantList checkValues(const QString &tables) const;
    QString qualified(const QString &name) const;
    QString functionBody() const;

    QString m_schema;
    // readWatched()'s statement, built for one set of tables and one read.
    mutable QString m_combinedFor;
    mutable QString m_combined;
};

} // namespace dbe::postgres
