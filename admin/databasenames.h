#pragma once

#include <QStringList>

// The databases the engine session knows, as the desktop offers them for choosing: sorted,
// without duplicates, and without names that are empty or are directory paths.
QStringList KnownDatabaseNames();
