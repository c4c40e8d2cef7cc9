#include "dbe/postgres/pgchangecount.h"

#include "dbe/backend.h"
#include "dbe/postgres/pgconnection.h"

#include <QRegularExpression>

namespace dbe::postgres {

namespace {

const QString CountTable = QStringLiteral("dbe_changes");
const QString Counter = QStringLiteral("dbe_count_change");

// The trigger's type as the server keeps it: AFTER, FOR EACH STATEMENT, on INSERT (4), DELETE
// (8), UPDATE (16) and TRUNCATE (32).
constexpr int CountingTriggerType = 4 | 8 | 16 | 32;

// The counter's names resolve to the system's own functions and operators only, whatever
// search_path the writing session set: the counter is created with this setting, and the
// server keeps it in this form.
const QString CounterPath = QStringLiteral("search_path=pg_catalog, pg_temp");

} // namespace

ChangeCount::ChangeCount(QString schema) : m_schema(std::move(schema)) {}

QString ChangeCount::qualified(const QString &name) const
{
    return quoteIdentifier(m_schema) + QLatin1Char('.') + quoteIdentifier(name);
}

// Counts once per transaction: the row itself holds the transaction that counted last, so a
// statement of the same transaction finds it counted and leaves it alone. Updating the row at
// every statement would leave a bulk write, an import of thousands of rights, walking an ever
// longer chain of the row's versions.
QString ChangeCount::functionBody() const
{
    return QStringLiteral(" BEGIN UPDATE %1 SET changes = changes + 1, counted_in = "
                          "pg_current_xact_id() WHERE table_name = TG_TABLE_NAME AND counted_in "
                          "IS DISTINCT FROM pg_current_xact_id(); RETURN NULL; END ")
        .arg(qualified(CountTable));
}

void ChangeCount::prepare(PgConnection &server, const QString &table) const
{
    const QString counts = qualified(CountTable);
    const QString counter = qualified(Counter);
    server.atomically([&] {
        server.command(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (table_name varchar(63) "
                                      "PRIMARY KEY, changes bigint NOT NULL, counted_in xid8); "
                                      "ALTER TABLE %1 ADD COLUMN IF NOT EXISTS counted_in xid8")
                           .arg(counts));
        server.command(QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE "
                                      "plpgsql SET search_path = pg_catalog, pg_temp AS "
                                      "$body$%2$body$")
                           .arg(counter, functionBody()));
        server.command(QStringLiteral("CREATE OR REPLACE TRIGGER %3 AFTER INSERT OR UPDATE OR "
                                      "DELETE OR TRUNCATE ON %1 FOR EACH STATEMENT EXECUTE "
                                      "FUNCTION %2(); ALTER TABLE %1 ENABLE ALWAYS TRIGGER %3")
                           .arg(qualified(table), counter, Counter));
        // Counting on from an earlier table of the name: a watch of the table it replaced ends.
        server.run(QStringLiteral("INSERT INTO %1 AS counted (table_name, changes) VALUES ($1, 0) "
                                  "ON CONFLICT (table_name) DO UPDATE SET changes = "
                                  "counted.changes + 1")
                       .arg(counts),
                   {table});
    });
}

// Answers one row, one boolean: $1 the tables (an array of server names, as text), $2 the
// schema, $3 the count table, $4 the counter, $5 its body, $6 its setting. No row when the
// schema is gone.
QString ChangeCount::trustQuery() const
{
    // A row added through a child table, or hidden by row security, is no change the trigger
    // sees; triggers, rules or row security on the counted rows could stop the count.
    return QStringLiteral(
               "SELECT pg_catalog.pg_current_xact_id_if_assigned() IS NULL AND EXISTS (SELECT "
               "FROM pg_catalog.pg_class k JOIN pg_catalog.pg_attribute a ON a.attrelid = k.oid "
               "WHERE k.relnamespace = n.oid AND k.relname = $3 AND k.relkind = 'r' AND NOT "
               "(k.relhastriggers OR k.relhasrules OR k.relrowsecurity OR k.relhassubclass) AND "
               "a.attname = 'counted_in' AND a.atttypid = 'pg_catalog.xid8'::pg_catalog.regtype "
               "AND NOT a.attisdropped) AND (SELECT count(*) FROM unnest($1::text[]) AS w(name) "
               "JOIN pg_catalog.pg_class c ON c.relnamespace = n.oid AND c.relname = w.name JOIN "
               "pg_catalog.pg_trigger t ON t.tgrelid = c.oid AND t.tgname = $4 JOIN "
               "pg_catalog.pg_proc p ON p.oid = t.tgfoid WHERE c.relkind = 'r' AND NOT "
               "c.relrowsecurity AND NOT EXISTS (SELECT FROM pg_catalog.pg_inherits i WHERE "
               "i.inhparent = c.oid) AND t.tgenabled = 'A' AND t.tgtype = %1 AND t.tgqual IS "
               "NULL AND cardinality(t.tgattr::int2[]) = 0 AND p.pronamespace = n.oid AND "
               "p.proname = $4 AND p.prolang = (SELECT l.oid FROM pg_catalog.pg_language l WHERE "
               "l.lanname = 'plpgsql') AND p.prosrc = $5 AND p.proconfig = ARRAY[$6]) = "
               "cardinality($1::text[]) FROM pg_catalog.pg_namespace n WHERE n.nspname = $2")
        .arg(CountingTriggerType);
}

// Answers one row, the state's text and whether it is complete, from $1 to $4 as above.
QString ChangeCount::stateQuery() const
{
    // The row versions (xmin) stand for what their values cannot show: a trigger or function
    // replaced, a table renamed or given a child, a counted row put back as it was.
    return QStringLiteral(
               "SELECT (SELECT format('%s:%s', k.oid, k.xmin) FROM pg_catalog.pg_class k WHERE "
               "k.relnamespace = n.oid AND k.relname = $3) || '/' || string_agg(format("
               "'%s:%s:%s:%s:%s:%s:%s:%s:%s:%s', w.name, c.oid, c.xmin, (SELECT count(*) FROM "
               "pg_catalog.pg_inherits i WHERE i.inhparent = c.oid), t.oid, t.xmin, p.xmin, "
               "d.changes, d.counted_in, d.xmin), ',' ORDER BY w.name), count(d.table_name) = "
               "cardinality($1::text[]) FROM pg_catalog.pg_namespace n CROSS JOIN "
               "unnest($1::text[]) AS w(name) LEFT JOIN pg_catalog.pg_class c ON c.relnamespace = "
               "n.oid AND c.relname = w.name LEFT JOIN pg_catalog.pg_trigger t ON t.tgrelid = "
               "c.oid AND t.tgname = $4 LEFT JOIN pg_catalog.pg_proc p ON p.oid = t.tgfoid LEFT "
               "JOIN %1 d ON d.table_name = w.name WHERE n.nspname = $2 GROUP BY n.oid")
        .arg(qualified(CountTable));
}

QVariantList ChangeCount::checkValues(const QString &tables) const
{
    return {tables, m_schema, CountTable, Counter, functionBody(), CounterPath};
}

bool ChangeCount::trustworthy(PgConnection &server, const QString &tables) const
{
    const PgResult trusted = server.run(trustQuery(), checkValues(tables));
    return trusted.rows() == 1 && trusted.value(0, 0).toBool();
}

ChangeCount::State ChangeCount::state(PgConnection &server, const QString &tables) const
{
    const PgResult found =
        server.runPrepared(stateQuery(), checkValues(tables).mid(0, 4), {});
    if (found.rows() != 1)
        return {};
    return {found.text(0, 0), found.value(0, 1).toBool()};
}

namespace {

// The query with its parameters $1, $2, ... written in as the literals `literals`; for the
// checks above, whose text holds no other dollar sign.
QString withLiterals(const QString &sql, const QStringList &literals)
{
    static const QRegularExpression parameter(QStringLiteral("\\$(\\d+)"));
    QString written;
    qsizetype done = 0;
    for (auto it = parameter.globalMatch(sql); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        written += QStringView(sql).mid(done, match.capturedStart() - done);
        written += literals.at(match.captured(1).toInt() - 1);
        done = match.capturedEnd();
    }
    written += QStringView(sql).mid(done);
    return written;
}

} // namespace

std::optional<ChangeCount::WatchedRead> ChangeCount::readWatched(PgConnection &server,
                                                                 const QString &tables,
                                                                 const QString &sql,
                                                                 const QVariantList &values) const
{
    // One statement, one snapshot: the checks, the state and the rows cannot disagree, and
    // nothing written in between can slip past the state. The rows of a failed check are
    // thrown away.
    // OFFSET 0 keeps the planner from pulling the checks up into the join, where their
    // correlated counts were worked out again for every row the read returns.
    // The checks' values are the same at every read, so they are written into the text: a
    // statement whose only parameters are the read's keeps one plan on the server, where
    // parameters for the catalogs would have it planned afresh at each execution.
    const QString key = tables + u'\n' + sql;
    if (key != m_combinedFor) {
        QStringList literals;
        for (const QVariant &value : checkValues(tables))
            literals.append(server.literal(value.toString()));
        m_combined =
            QStringLiteral("SELECT dbe_trust.trusted, dbe_state.state, dbe_state.complete, "
                           "dbe_rows.* FROM (%1 OFFSET 0) AS dbe_trust(trusted) CROSS JOIN (%2 "
                           "OFFSET 0) AS dbe_state(state, complete) LEFT JOIN (SELECT true AS "
                           "dbe_found, dbe_read.* FROM (%3) AS dbe_read) AS dbe_rows ON true")
                .arg(withLiterals(trustQuery(), literals), withLiterals(stateQuery(), literals),
                     sql);
        m_combinedFor = key;
    }
    const PgResult found = server.runPrepared(m_combined, values, {});
    if (found.rows() < 1 || !found.value(0, 0).toBool() || !found.value(0, 2).toBool())
        return std::nullopt;
    WatchedRead read{found.text(0, 1), {}};
    // The checks, then dbe_found: null on the one row the join makes when the read found none.
    constexpr int Found = 3;
    for (int row = 0; row < found.rows(); ++row) {
        if (found.isNull(row, Found))
            continue;
        QVariantList columns;
        columns.reserve(found.columns() - Found - 1);
        for (int column = Found + 1; column < found.columns(); ++column)
            columns.append(found.value(row, column));
        read.rows.append(std::move(columns));
    }
    return read;
}

} // namespace dbe::postgres
