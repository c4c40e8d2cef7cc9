#pragma once

#include <QString>
#include <QStringList>

namespace testsupport {

// Ways a table file is found damaged in the field: a disk that flipped bits, a copy cut short, a
// file overwritten by something else, a file that is gone.
enum class Damage {
    FirstPageFlipped,
    MiddlePageFlipped,
    LastPageFlipped,
    TruncatedToHalf,
    TruncatedToZero,
    RandomBytes,
    PlainSqliteFile,
    Missing,
};

// Every kind, with a name for data-driven rows.
QList<std::pair<QString, Damage>> allDamages();

// Damages the file at `path` as `damage` says. Deterministic: the same file comes out the same.
// Returns false (with a warning) when the file could not be damaged.
bool damageFile(const QString &path, Damage damage);

} // namespace testsupport
