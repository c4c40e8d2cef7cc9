#include "dbe/postgres/pgconnection.h"

#include "dbe/backend.h"
#include "dbe/error.h"
#include "dbe/logging.h"

#include <QtGlobal>
#include <libpq-fe.h>
#include <utility>

namespace dbe::postgres {

namespace {

// libpq's own type numbers of the results the engine reads as numbers or truth values.
constexpr Oid BoolType = 16;
constexpr Oid Int8Type = 20;
constexpr Oid Int2Type = 21;
constexpr Oid Int4Type = 23;
constexpr Oid OidType = 26;
constexpr Oid Float4Type = 700;
constexpr Oid Float8Type = 701;
constexpr Oid NumericType = 1700;

// A failure of a statement whose session the server had ended (an administrator's command, a
// shutdown, a restart) before the statement could run: it may be sent again in a new session.
class SessionEnded : public Error
{
public:
    explicit SessionEnded(const QString &text) : Error(text, Error::Connection) {}
};

// A server that has not answered within the busy timeout is taken as unreachable, unless the
// connection string says otherwise; whole seconds, at least one, as 0 would be for ever.
QByteArray connectTimeoutSecs(int busyTimeoutMs)
{
    return QByteArray::number(qMax(1, (busyTimeoutMs + 999) / 1000));
}

QString field(const PGresult *result, int code)
{
    const char *text = result ? PQresultErrorField(result, code) : nullptr;
    return text ? QString::fromUtf8(text) : QString();
}

QString connectionText(const PGconn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

QString tableLabel(const QString &table)
{
    return table.isEmpty() ? QString() : table + QStringLiteral(".DB");
}

} // namespace

PgResult::~PgResult()
{
    PQclear(m_result);
}

PgResult &PgResult::operator=(PgResult &&other) noexcept
{
    if (this != &other) {
        PQclear(m_result);
        m_result = other.m_result;
        other.m_result = nullptr;
    }
    return *this;
}

int PgResult::rows() const
{
    return m_result ? PQntuples(m_result) : 0;
}

int PgResult::columns() const
{
    return m_result ? PQnfields(m_result) : 0;
}

bool PgResult::isNull(int row, int column) const
{
    return PQgetisnull(m_result, row, column) != 0;
}

QString PgResult::text(int row, int column) const
{
    return QString::fromUtf8(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

QVariant PgResult::value(int row, int column) const
{
    if (isNull(row, column))
        return {};
    const char *raw = PQgetvalue(m_result, row, column);
    switch (PQftype(m_result, column)) {
    case BoolType:
        return QVariant(raw[0] == 't');
    case Int2Type:
    case Int4Type:
    case Int8Type:
    case OidType:
        return QVariant(QByteArray(raw).toLongLong());
    case Float4Type:
    case Float8Type:
    case NumericType:
        return QVariant(QByteArray(raw).toDouble());
    default:
        return QVariant(text(row, column));
    }
}

int PgResult::changedRows() const
{
    return m_result ? QByteArray(PQcmdTuples(m_result)).toInt() : 0;
}

QString PgResult::columnName(int column) const
{
    return QString::fromUtf8(PQfname(m_result, column));
}

unsigned PgResult::columnTable(int column) const
{
    return PQftable(m_result, column);
}

int PgResult::columnNumber(int column) const
{
    return PQftablecol(m_result, column);
}

QString connectionStringProblem(const QString &connection)
{
    char *message = nullptr;
    PQconninfoOption *options = PQconninfoParse(connection.toUtf8().constData(), &message);
    if (!options) {
        const QString text =
            message ? QString::fromUtf8(message).trimmed() : QStringLiteral("out of memory");
        PQfreemem(message);
        return QStringLiteral("The connection string \"%1\" cannot be read: %2")
            .arg(connection, text);
    }
    bool hasPassword = false;
    for (const PQconninfoOption *option = options; option->keyword; ++option) {
        if (qstrcmp(option->keyword, "password") == 0 && option->val && option->val[0])
            hasPassword = true;
    }
    PQconninfoFree(options);
    if (hasPassword)
        return QStringLiteral("The connection string must not hold a password: the master "
                              "password is the role's password, given to the program when it "
                              "opens the database, and never written down.");
    return {};
}

PgParameters::PgParameters(const QVariantList &values)
{
    texts.reserve(values.size());
    for (const QVariant &value : values) {
        if (value.isNull() || !value.isValid()) {
            texts.append(QByteArray());
            continue;
        }
        switch (value.typeId()) {
        case QMetaType::Bool:
            texts.append(value.toBool() ? QByteArray("t") : QByteArray("f"));
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::Short:
            texts.append(QByteArray::number(value.toLongLong()));
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            texts.append(QByteArray::number(value.toDouble(), 'g', 17));
            break;
        case QMetaType::QByteArray:
            texts.append(value.toByteArray());
            break;
        default:
            texts.append(value.toString().toUtf8());
            break;
        }
    }
    for (qsizetype i = 0; i < values.size(); ++i)
        pointers.append(values[i].isNull() || !values[i].isValid() ? nullptr
                                                                   : texts[i].constData());
}

namespace {

// One attempt with one password: the connection, or null when the server refused the password
// (its words then in `refusal`). Throws when the server cannot be reached or refuses for another
// reason, or lets the role in without a password.
PGconn *connectOnce(const PgConnection::Settings &settings, const QString &password,
                    QString *refusal)
{
    const QByteArray conninfo = settings.connection.toUtf8();
    const QByteArray application = settings.applicationName.toUtf8();
    const QByteArray secret = password.toUtf8();
    const QByteArray timeout = connectTimeoutSecs(settings.busyTimeoutMs);
    // Keywords later in the list win over the same keywords in the connection string, and
    // those earlier lose to it: the password and the holder's name are always the engine's.
    const char *const keywords[] = {"connect_timeout",  "dbname",          "password",
                                    "application_name", "client_encoding", nullptr};
    const char *const values[] = {timeout.constData(),
                                  conninfo.constData(),
                                  secret.constData(),
                                  application.constData(),
                                  "UTF8",
                                  nullptr};
    PGconn *conn = PQconnectdbParams(keywords, values, 1);
    if (!conn)
        throw Error(QStringLiteral("Cannot reach the database server: out of memory."),
                    Error::Connection);
    if (PQstatus(conn) == CONNECTION_OK) {
        if (PQconnectionUsedPassword(conn))
            return conn;
        PQfinish(conn);
        // The master password must be what keeps others out of the security tables.
        throw Error(QStringLiteral("The database server let the role in without asking for "
                                   "its password; it must be set to require one (md5 or "
                                   "scram-sha-256 in pg_hba.conf), since the master "
                                   "password protects the security tables."),
                    Error::BadPassword);
    }
    const QString text = connectionText(conn);
    const bool passwordRefused = PQconnectionUsedPassword(conn) != 0;
    PQfinish(conn);
    if (!passwordRefused)
        throw Error(QStringLiteral("Cannot connect to the database server: %1").arg(text),
                    Error::Connection);
    *refusal = text;
    return nullptr;
}

} // namespace

std::unique_ptr<PgConnection> PgConnection::open(const Settings &settings,
                                                 const QStringList &passwords, const Prompt &prompt)
{
    if (const QString problem = connectionStringProblem(settings.connection); !problem.isEmpty())
        throw Error(problem, Error::InvalidName);
    QString refusal; // the server's words when it refused a password
    PGconn *conn = nullptr;
    QString used;
    for (const QString &password : passwords) {
        if ((conn = connectOnce(settings, password, &refusal))) {
            used = password;
            break;
        }
    }
    if (!conn && prompt) {
        if (const std::optional<QString> typed = prompt()) {
            if ((conn = connectOnce(settings, *typed, &refusal)))
                used = *typed;
        }
    }
    if (!conn)
        throw Error(refusal.isEmpty()
                        ? QStringLiteral("Invalid password: no password was given for the "
                                         "database server.")
                        : QStringLiteral("Invalid password: the database server refused it (%1)")
                              .arg(refusal),
                    Error::BadPassword);

    std::unique_ptr<PgConnection> connection(new PgConnection(conn, settings, used));
    connection->setUpSession();
    return connection;
}

PgConnection::PgConnection(pg_conn *connection, Settings settings, QString password)
    : m_conn(connection), m_settings(std::move(settings)), m_password(std::move(password))
{
}

PgConnection::~PgConnection()
{
    PQfinish(m_conn);
}

// Warnings of the server (a notice below that level is not sent at all) go to the log, not to
// the terminal of whoever runs the program. So does an error sent while the connection was idle:
// the server telling why it ends the session, which it closes a moment later.
void PgConnection::receiveNotice(void *connection, const pg_result *notice)
{
    qWarning("PostgreSQL: %s", PQresultErrorMessage(notice));
    const char *severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
    if (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0)
        static_cast<PgConnection *>(connection)->m_sessionEnding = true;
}

void PgConnection::setUpSession()
{
    PQsetNoticeReceiver(m_conn, receiveNotice, this);
    // Unquoted names of the reports' SQL find the tables of the alias's schema; dates come as
    // ISO text; a change another workstation committed is seen by the next statement, also
    // inside a transaction, whatever the site's default isolation.
    command(QStringLiteral("SET search_path TO %1; SET datestyle TO 'ISO, YMD'; "
                           "SET client_min_messages TO warning; "
                           "SET default_transaction_isolation TO 'read committed'")
                .arg(quoteIdentifier(m_settings.schema)));
    setBusyTimeout(m_settings.busyTimeoutMs);
}

bool PgConnection::inTransaction() const
{
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return m_transactionOpen || status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

// Whether the session is still there, as far as can be told without a round trip: what the
// server sent since the last statement (the notice that it ends the session, then the end) is
// read first.
bool PgConnection::alive()
{
    if (PQstatus(m_conn) != CONNECTION_OK || !PQconsumeInput(m_conn))
        return false;
    PQisBusy(m_conn);
    return !m_sessionEnding && PQconsumeInput(m_conn) != 0;
}

void PgConnection::reconnect()
{
    QString refusal;
    PGconn *fresh = connectOnce(m_settings, m_password, &refusal);
    if (!fresh)
        throw Error(QStringLiteral("The connection to the database server was lost, and the "
                                   "server no longer takes the password: %1")
                        .arg(refusal),
                    Error::BadPassword);
    PGconn *lost = std::exchange(m_conn, fresh);
    m_prepared.clear();
    m_restoring = true;
    try {
        setUpSession();
        if (m_restore)
            m_restore();
    } catch (...) {
        m_restoring = false;
        PQfinish(std::exchange(m_conn, lost));
        throw;
    }
    m_restoring = false;
    PQfinish(lost);
    m_sessionEnding = false;
    ++m_session;
}

PgResult PgConnection::reconnecting(const std::function<PgResult()> &attempt)
{
    if (m_restoring || inTransaction())
        return attempt();
    if (!alive()) {
        const QString why = PQstatus(m_conn) == CONNECTION_BAD
                                ? connectionText(m_conn)
                                : QStringLiteral("the server ended the session");
        qCInfo(lcEngine).noquote()
            << QStringLiteral("The connection to the database server was lost (%1); connecting "
                              "again.")
                   .arg(why);
        reconnect();
        return attempt();
    }
    try {
        return attempt();
    } catch (const SessionEnded &ended) {
        qCInfo(lcEngine).noquote() << ended.text() + QStringLiteral(" Connecting again.");
    }
    reconnect();
    return attempt();
}

PgResult PgConnection::check(pg_result *result, const QString &table)
{
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return PgResult(result);
    const QString state = field(result, PG_DIAG_SQLSTATE);
    QString text = field(result, PG_DIAG_MESSAGE_PRIMARY);
    if (text.isEmpty())
        text = connectionText(m_conn);
    if (const QString detail = field(result, PG_DIAG_MESSAGE_DETAIL); !detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    PQclear(result);

    const QString label = tableLabel(table);
    if (PQstatus(m_conn) == CONNECTION_BAD || state.startsWith(QLatin1String("08"))) {
        const QString lost = QStringLiteral("The connection to the database server was lost: %1");
        // Class 57P: the server ended the session, and so the transaction the statement ran in.
        if (state.startsWith(QLatin1String("57P")))
            throw SessionEnded(lost.arg(text));
        throw Error(lost.arg(text), Error::Connection);
    }
    if (state == QLatin1String("23505") || state == QLatin1String("23P01"))
        throw Error(QStringLiteral("Key violation."), Error::KeyViolation);
    // Another workstation holds a row this statement needs, longer than the busy timeout.
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") ||
        state == QLatin1String("40001") || state == QLatin1String("57014")) {
        if (label.isEmpty())
            throw Error(QStringLiteral("Table is busy (%1).").arg(text), Error::Locked);
        throw Error(
            QStringLiteral("Table is busy: %1 is in use by another user (%2).").arg(label, text),
            Error::Locked);
    }
    if (state == QLatin1String("42P01"))
        throw Error(label.isEmpty() ? text : label + QStringLiteral(": ") + text,
                    Error::TableNotFound);
    throw Error(label.isEmpty() ? text : label + QStringLiteral(": ") + text, Error::General);
}

PgResult PgConnection::guarded(const std::function<pg_result *()> &send, const QString &table)
{
    // A failed statement dooms the whole transaction on this server; the engine promises that
    // it fails alone, as on the embedded storage.
    const bool inside = inTransaction();
    if (inside)
        command(QStringLiteral("SAVEPOINT dbe_statement"));
    pg_result *result = send();
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (inside && PQstatus(m_conn) == CONNECTION_OK) {
        if (ok) {
            pg_result *released = PQexec(m_conn, "RELEASE SAVEPOINT dbe_statement");
            if (PQresultStatus(released) != PGRES_COMMAND_OK) {
                PQclear(result);
                check(released, table); // throws
            }
            PQclear(released);
        } else {
            // Undoing the failed statement cannot fail in a way that matters more than its
            // own failure, which is what the caller learns.
            PQclear(PQexec(m_conn, "ROLLBACK TO SAVEPOINT dbe_statement; "
                                   "RELEASE SAVEPOINT dbe_statement"));
        }
    }
    return check(result, table);
}

pg_result *PgConnection::send(const QByteArray &sql, const PgParameters &parameters)
{
    return PQexecParams(m_conn, sql.constData(), int(parameters.pointers.size()), nullptr,
                        parameters.pointers.constData(), nullptr, nullptr, 0);
}

PgResult PgConnection::run(const QString &sql, const QVariantList &values, const QString &table)
{
    const QByteArray text = sql.toUtf8();
    const PgParameters parameters(values);
    return reconnecting([&] { return guarded([&] { return send(text, parameters); }, table); });
}

PgResult PgConnection::runPrepared(const QString &sql, const QVariantList &values,
                                   const QString &table)
{
    const PgParameters parameters(values);
    return reconnecting([&] {
        auto it = m_prepared.constFind(sql);
        if (it == m_prepared.cend()) {
            const QByteArray name = "dbe_" + QByteArray::number(m_prepared.size() + 1);
            const QByteArray text = sql.toUtf8();
            guarded(
                [&] { return PQprepare(m_conn, name.constData(), text.constData(), 0, nullptr); },
                table);
            it = m_prepared.insert(sql, name);
        }
        const QByteArray name = *it;
        return guarded(
            [&] {
                return PQexecPrepared(m_conn, name.constData(), int(parameters.pointers.size()),
                                      parameters.pointers.constData(), nullptr, nullptr, 0);
            },
            table);
    });
}

bool PgConnection::runInSession(const QString &sql, const QVariantList &values)
{
    if (!alive())
        return false;
    const QByteArray text = sql.toUtf8();
    const PgParameters parameters(values);
    guarded([&] { return send(text, parameters); }, {});
    return true;
}

void PgConnection::command(const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    reconnecting([&] { return check(PQexec(m_conn, text.constData()), {}); });
}

QString PgConnection::literal(const QString &text) const
{
    const QByteArray bytes = text.toUtf8();
    char *quoted = PQescapeLiteral(m_conn, bytes.constData(), size_t(bytes.size()));
    if (!quoted)
        throw Error(QStringLiteral("A text could not be quoted for the database server: %1")
                        .arg(connectionText(m_conn)));
    const QString result = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return result;
}

void PgConnection::begin()
{
    command(QStringLiteral("BEGIN"));
    m_transactionOpen = true;
}

void PgConnection::commit()
{
    m_transactionOpen = false;
    check(PQexec(m_conn, "COMMIT"), {});
}

void PgConnection::rollback()
{
    m_transactionOpen = false;
    if (PQstatus(m_conn) == CONNECTION_OK)
        check(PQexec(m_conn, "ROLLBACK"), {});
}

void PgConnection::setBusyTimeout(int milliseconds)
{
    m_settings.busyTimeoutMs = milliseconds;
    // 0 would mean "wait for ever" to the server; the engine's 0 means "do not wait".
    command(QStringLiteral("SET lock_timeout TO %1").arg(qMax(1, milliseconds)));
}

void PgConnection::atomically(const std::function<void()> &work)
{
    const bool inside = inTransaction();
    if (inside)
        command(QStringLiteral("SAVEPOINT dbe_block"));
    else
        begin();
    try {
        work();
    } catch (...) {
        if (!inside)
            m_transactionOpen = false;
        if (PQstatus(m_conn) == CONNECTION_OK)
            PQclear(PQexec(m_conn, inside ? "ROLLBACK TO SAVEPOINT dbe_block; "
                                            "RELEASE SAVEPOINT dbe_block"
                                          : "ROLLBACK"));
        throw;
    }
    if (inside)
        command(QStringLiteral("RELEASE SAVEPOINT dbe_block"));
    else
        commit();
}

} // namespace dbe::postgres
