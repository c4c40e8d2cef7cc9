#pragma once

#include "transfer/snapshot.h"

#include <QString>

namespace transfer {

// A backup is one file: a snapshot sealed with the database's master password (see
// dbe::sealing), so that neither a name nor a password can be read from it and any change to
// it is found. It is written beside its place, flushed to the disk and renamed into place: an
// existing backup of that name stays whole until the new one is.

// Throws dbe::Error Io, naming the file and the system's reason, when it cannot be written.
void writeBackup(const QString &path, const Snapshot &snapshot, const QString &password);

// Throws dbe::Error: Io when the file cannot be read, BadPassword when `password` is not the
// one it was sealed with, Damaged when it is no backup or was changed.
Snapshot readBackup(const QString &path, const QString &password);

} // namespace transfer
