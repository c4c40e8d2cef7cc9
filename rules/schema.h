#pragma once

#include "dbe/types.h"

#include <QList>
#include <QString>
#include <limits>

namespace security {

// The seven tables of a security database: their names, fields in order, types, sizes and
// indexes. Every reader and writer of the tables takes its names from here, so that a name
// exists once and a misspelt one fails to compile instead of failing at run time.

// The tables as they are opened.
namespace tables {
inline const QString Access = QStringLiteral("ACCESS.DB");
inline const QString Groups = QStringLiteral("GROUPS.DB");
inline const QString GrpColl = QStringLiteral("GRPCOLL.DB");
inline const QString Log = QStringLiteral("LOG.DB");
inline const QString Program = QStringLiteral("PROGRAM.DB");
inline const QString UserAcc = QStringLiteral("USERACC.DB");
inline const QString Users = QStringLiteral("USERS.DB");
} // namespace tables

// The fields. A name that several tables share means the same thing in each: "Access_ID" is
// the key of ACCESS.DB, and the constant (or, in USERACC.DB with type "G", the group) that a
// membership, a right or a log row refers to.
namespace fields {
// ACCESS.DB
inline const QString AccessId = QStringLiteral("Access_ID");
inline const QString AccessName = QStringLiteral("Access_Name");
// GROUPS.DB; GRPCOLL.DB holds GroupId and AccessId
inline const QString GroupId = QStringLiteral("Group_ID");
inline const QString GroupName = QStringLiteral("Group_Name");
// LOG.DB, besides UserId and AccessId
inline const QString AccessDate = QStringLiteral("Access_Date");
inline const QString LogCount = QStringLiteral("LogCount");
// PROGRAM.DB, the settings row
inline const QString SecurityLabel = QStringLiteral("Security_Label");
inline const QString Enabled = QStringLiteral("Enabled");
inline const QString DateDisabled = QStringLiteral("DateDisabled");
inline const QString Label1 = QStringLiteral("Label1");
inline const QString Label2 = QStringLiteral("Label2");
inline const QString LogEnabled = QStringLiteral("LogEnabled");
// USERACC.DB, besides UserId and AccessId: what AccessId holds (RightConstant, RightGroup)
inline const QString RightType = QStringLiteral("Type");
// USERS.DB
inline const QString UserId = QStringLiteral("User_ID");
inline const QString UserName = QStringLiteral("User_Name");
inline const QString UserPassword = QStringLiteral("User_Password");
inline const QString UserDef1 = QStringLiteral("User_Def1");
inline const QString UserDef2 = QStringLiteral("User_Def2");
inline const QString UserLastAccess = QStringLiteral("User_LastAccess");
inline const QString UserAccessCount = QStringLiteral("User_AccessCount");
inline const QString UserEnabled = QStringLiteral("User_Enabled");
inline const QString UserAdmin = QStringLiteral("User_Admin");
} // namespace fields

// The indexes. A table opened under the empty index name uses its primary index.
namespace indexes {
inline const QString AccessId = QStringLiteral("ACCESSID");     // ACCESS.DB, primary
inline const QString AccessName = QStringLiteral("AccessName"); // ACCESS.DB, case-blind
inline const QString GroupId = QStringLiteral("GROUPID");       // GROUPS.DB and GRPCOLL.DB, primary
inline const QString LogInfo = QStringLiteral("LOGINFO");       // LOG.DB, primary
inline const QString ProgId = QStringLiteral("PROGID");         // PROGRAM.DB, primary
inline const QString UserAccId = QStringLiteral("USERACCID");   // USERACC.DB, primary
inline const QString UserId = QStringLiteral("ID");             // USERS.DB, primary
inline const QString UserName = QStringLiteral("UserName");     // USERS.DB, case-blind
} // namespace indexes

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
// The user ids the kit numbers USERS.DB rows with. A row holding any other id was not written
// by the kit and logs nobody on: 0 would make him the supervisor, -1 nobody at all.
inline constexpr bool isUserRowId(qint64 id)
{
    return id >= 1 && id <= std::numeric_limits<qint32>::max();
}

// The tables in the order they are created.
const QList<dbe::TableDef> &securityTables();
// The tables an access test reads, which its readers watch for commits.
QStringList accessTestTables();
// One table by its name, with or without extension ("USERS", "users.db"); case-blind.
const dbe::TableDef &securityTable(const QString &name);

} // namespace security
