#pragma once

#include "dbe/types.h"

#include <QList>

namespace security {

// The seven tables of a security database: fields in order, types, sizes and indexes. Every
// reader and writer of the tables takes names from here.
//
// USERACC.DB's `Type` says what `Access_ID` holds: an access id granted directly, or a group
// whose constants are all granted. Codes compare case-sensitively.
inline const QString RightConstant = QStringLiteral("C");
inline const QString RightGroup = QStringLiteral("G");

// The built-in supervisor: user id 0, no row in USERS.DB, logs on with this name and the
// master password.
inline constexpr int SupervisorId = 0;
inline const QString SupervisorLogonName = QStringLiteral("SUPERVISOR");
inline const QString SupervisorDisplayName = QStringLiteral("Supervisor");
inline constexpr int NobodyLoggedOn = -1;

// The tables in the order they are created.
const QList<dbe::TableDef> &securityTables();
// One table by its name without extension ("USERS"); case-blind.
const dbe::TableDef &securityTable(const QString &name);

} // namespace security
