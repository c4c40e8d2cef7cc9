#pragma once

#include "dbe/backend.h"

#include <QList>
#include <QString>
#include <QVariant>

// The WHERE clauses a table cursor walks and seeks with: key comparisons in the order the
// engine sorts, blank (NULL) keys first, written so that the storage can use its index.
namespace dbe {

enum class Compare { Greater, GreaterOrEqual, Less, LessOrEqual };

// One column of an ordering or a key, as SQL names it (folded where case-blind).
struct KeyColumn {
    int field = 0;          // index into the stored fields
    QString expression;     // "\"User_Name\" COLLATE NOCASE"
    bool caseBlind = false; // the values compared with it are folded the same way
};

// Collects the values of numbered parameters while a statement's text is built; the backend
// says how a parameter is written.
class Parameters
{
public:
    explicit Parameters(const Backend &backend) : m_backend(backend) {}

    QString add(const QVariant &value)
    {
        m_values.append(value);
        return m_backend.placeholder(int(m_values.size()));
    }
    // A value compared with a key column, folded as the column is.
    QString key(const KeyColumn &column, const QVariant &value)
    {
        const QString parameter = add(value);
        return column.caseBlind ? m_backend.caseBlind(parameter) : parameter;
    }
    const QVariantList &values() const { return m_values; }

private:
    const Backend &m_backend;
    QVariantList m_values;
};

QString equalTo(const KeyColumn &column, const QVariant &value, Parameters &params);

// Lexicographic comparison of the leading columns with `values`, NULL-aware, with a plain
// bound on the first column so that the index can be used.
QString compareKeys(const QList<KeyColumn> &columns, const QVariantList &values, Compare op,
                    Parameters &params);

} // namespace dbe
