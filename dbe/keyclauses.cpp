#include "dbe/keyclauses.h"

#include <QStringList>
#include <algorithm>

namespace dbe {

namespace {

// Blank (NULL) keys sort first, as the engine orders them; comparisons must agree with that.
QString strictlyBeyond(const KeyColumn &column, const QVariant &value, bool greater,
                       Parameters &params)
{
    if (greater) {
        if (value.isNull())
            return column.expression + QStringLiteral(" IS NOT NULL");
        return column.expression + QStringLiteral(" > ") + params.key(column, value);
    }
    if (value.isNull())
        return QStringLiteral("1 = 0");
    return QStringLiteral("(%1 < %2 OR %1 IS NULL)")
        .arg(column.expression, params.key(column, value));
}

} // namespace

QString equalTo(const KeyColumn &column, const QVariant &value, Parameters &params)
{
    if (value.isNull())
        return column.expression + QStringLiteral(" IS NULL");
    return column.expression + QStringLiteral(" = ") + params.key(column, value);
}

QString compareKeys(const QList<KeyColumn> &columns, const QVariantList &values, Compare op,
                    Parameters &params)
{
    const bool greater = op == Compare::Greater || op == Compare::GreaterOrEqual;
    const bool inclusive = op == Compare::GreaterOrEqual || op == Compare::LessOrEqual;
    const int n = int(qMin(columns.size(), values.size()));
    if (n == 0)
        return QStringLiteral("1 = 1");
    // Without blanks in the bound, "beyond" in row-value form means the same (a row with a blank
    // key part sorts before the bound and compares as unknown, so it is left out either way),
    // and it lets the engine seek in the index instead of filtering on the first column only.
    const bool boundHasBlanks = std::any_of(values.cbegin(), values.cbegin() + n,
                                            [](const QVariant &v) { return v.isNull(); });
    if (greater && !boundHasBlanks) {
        QStringList left;
        QStringList right;
        for (int i = 0; i < n; ++i) {
            left.append(columns[i].expression);
            right.append(params.key(columns[i], values[i]));
        }
        return QStringLiteral("(%1) %2 (%3)")
            .arg(left.join(QStringLiteral(", ")),
                 inclusive ? QStringLiteral(">=") : QStringLiteral(">"),
                 right.join(QStringLiteral(", ")));
    }
    QStringList alternatives;
    for (int i = 0; i < n; ++i) {
        QStringList parts;
        for (int j = 0; j < i; ++j)
            parts.append(equalTo(columns[j], values[j], params));
        parts.append(strictlyBeyond(columns[i], values[i], greater, params));
        alternatives.append(QLatin1Char('(') + parts.join(QStringLiteral(" AND ")) +
                            QLatin1Char(')'));
    }
    if (inclusive) {
        QStringList parts;
        for (int j = 0; j < n; ++j)
            parts.append(equalTo(columns[j], values[j], params));
        alternatives.append(QLatin1Char('(') + parts.join(QStringLiteral(" AND ")) +
                            QLatin1Char(')'));
    }
    // The alternatives are checked row by row. Offered an OR of terms it could each look up in
    // the index (blank keys bring "IS NULL" into every bound), the SQLite inside SQLCipher plans
    // a multi-index OR and sorts its result: every batch of a walk would then read and sort the
    // whole rest of the range. (Compared with 1, as a server's WHERE wants a truth value.)
    QString clause = QStringLiteral("(CASE WHEN %1 THEN 1 ELSE 0 END) = 1")
                         .arg(alternatives.join(QStringLiteral(" OR ")));
    // A lower bound on the first column lets the index seek. An upper one would have to let
    // blank keys through with an OR, which brings back the plan above, so there is none.
    if (greater && !values[0].isNull())
        clause = columns[0].expression + QStringLiteral(" >= ") +
                 params.key(columns[0], values[0]) + QStringLiteral(" AND ") + clause;
    return clause;
}

} // namespace dbe
