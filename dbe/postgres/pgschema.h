#pragma once

#include "dbe/types.h"

#include <QString>
#include <QStringList>

namespace dbe::postgres {

// How this storage names things on the server. Schema, table, column and index names are
// written folded to lower case, exactly as the server folds a name that SQL gives unquoted: so
// the reports' queries ("SELECT * FROM ACCESS ORDER BY ACCESS_NAME") find them as they stand,
// while the engine itself always quotes them.

// The server's name for `name`: ASCII letters, digits and '_', not starting with a digit, at
// most 63 characters, folded to lower case; empty when `name` is no such name.
QString serverName(const QString &name);
// Why `name` cannot be given to the server as `what` ("schema", "field"), or an empty text.
QString nameProblem(const QString &name, const QString &what);

// Why this storage cannot create `def` beyond what tableDefProblem() finds, or an empty text.
QString definitionProblem(const TableDef &def);

// `expression` with A-Z folded to a-z and nothing else: the case-blind comparison of the
// engine, which must not depend on the server's locale as lower() does.
QString foldCase(const QString &expression);

// The statements that create the table and its indexes in `schema` (a server name).
QStringList createStatements(const TableDef &def, const QString &schema);

// The description the engine keeps of each table (logical types, sizes, index names and flags,
// the names' spelling), as stored in the schema's dbe_tables, and back. Throws Damaged.
QString definitionText(const TableDef &def);
TableDef definitionFromText(const QString &text, const QString &table);

} // namespace dbe::postgres
