#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The previous version's security files: four dBASE tables in one directory.
namespace oldfiles {

inline const QString UsersFile = QStringLiteral("WOBSEC1.DBF");
inline const QString AccessFile = QStringLiteral("WOBSEC2.DBF");
inline const QString RightsFile = QStringLiteral("WOBSEC3.DBF");
inline const QString SystemFile = QStringLiteral("WOBSEC4.DBF");

// The four files in the order a directory is checked for them.
inline const QStringList AllFiles = {UsersFile, AccessFile, RightsFile, SystemFile};

// Whether the directory holds all four files (names compared without regard to case).
bool allPresent(const QString &directory);

} // namespace oldfiles

// The text of an encoded field of the old files. They stored every byte b as (128 - b) modulo
// 256, which is its own inverse. `field` is the field as stored: its first 79 bytes are read,
// the blanks that pad it are dropped, the rest is mapped back and read as Windows-1252. A zero
// byte is no terminator here: it is how an encoded "€" is stored.
QString DecodeOldText(const QByteArray &field);

// Byte 28 of a dBASE file header, the production-index flag (1: an index file belongs to the
// table). Both throw dbe::Error (Io) on any input or output failure.
void SetProductionIndexFlag(const QString &path, quint8 value);
quint8 ProductionIndexFlag(const QString &path);
