#pragma once

#include <QString>

namespace dbe {
class Table;
}

namespace security {

// For the windows that write a row through a cursor of their own (the user dialog, the group
// dialog, the settings page, the password dialog): the write and its audit entry in one
// transaction. Call it in place of post() or emptyTable(), outside a transaction of the caller's
// when the database is a directory of files (the audit table is opened first).

// Posts the row being inserted or edited, recorded as "add NOUN" or "edit NOUN" of the row's
// `nameField`, with the fields that changed (a password only as "changed"). Throws the engine's
// failures; the row stays in its state then, as after a failed post().
void postAudited(dbe::Table &table, const QString &noun, const QString &nameField);

// Empties the table (opened exclusively), recorded as `action` with the number of rows taken.
void emptyAudited(dbe::Table &table, const QString &action);

} // namespace security
