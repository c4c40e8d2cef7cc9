#pragma once

#include <QString>

// The tables and fields the setup editor reads and writes.
namespace fieldnames {

inline const QString UsersTable = QStringLiteral("USERS.DB");
inline const QString AccessTable = QStringLiteral("ACCESS.DB");
inline const QString GroupsTable = QStringLiteral("GROUPS.DB");
inline const QString GrpCollTable = QStringLiteral("GRPCOLL.DB");
inline const QString UserAccTable = QStringLiteral("USERACC.DB");
inline const QString ProgramTable = QStringLiteral("PROGRAM.DB");

inline const QString UserNameIndex = QStringLiteral("UserName");
inline const QString AccessNameIndex = QStringLiteral("AccessName");

inline const QString UserId = QStringLiteral("User_ID");
inline const QString UserName = QStringLiteral("User_Name");
inline const QString UserPassword = QStringLiteral("User_Password");
inline const QString UserDef1 = QStringLiteral("User_Def1");
inline const QString UserDef2 = QStringLiteral("User_Def2");
inline const QString UserLastAccess = QStringLiteral("User_LastAccess");
inline const QString UserAccessCount = QStringLiteral("User_AccessCount");
inline const QString UserEnabled = QStringLiteral("User_Enabled");
inline const QString UserAdmin = QStringLiteral("User_Admin");

inline const QString AccessId = QStringLiteral("Access_ID");
inline const QString AccessName = QStringLiteral("Access_Name");
inline const QString GroupId = QStringLiteral("Group_ID");
inline const QString GroupName = QStringLiteral("Group_Name");
inline const QString RightType = QStringLiteral("Type");
inline const QString AccLabel = QStringLiteral("AccLabel");

inline const QString SecurityLabel = QStringLiteral("Security_Label");
inline const QString Enabled = QStringLiteral("Enabled");
inline const QString DateDisabled = QStringLiteral("DateDisabled");
inline const QString Label1 = QStringLiteral("Label1");
inline const QString Label2 = QStringLiteral("Label2");
inline const QString LogEnabled = QStringLiteral("LogEnabled");

} // namespace fieldnames
