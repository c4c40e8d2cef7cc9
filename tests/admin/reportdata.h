#pragma once

#include "tests/support/testsupport.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace dbe {
class Table;
}
namespace report {
class PageRecorder;
}

// A small security database for the report tests, with the cases the reports treat specially:
// a supervisor entry, a logon, a constant and a group that were deleted after they were used.
namespace reportdata {

// The Usage report's days in the scenario, and the entries at their edges.
inline const QDate FirstDay(2026, 3, 2);
inline const QDate LastDay(2026, 3, 3);

inline const QString AlicePassword = QStringLiteral("AliceSecret1");
inline const QString BobPassword = QStringLiteral("BobSecret22");

// Users alice and bob; constants VIEW_ORDERS and EDIT_ORDERS (OLD_RIGHT deleted); the group
// Clerks (VIEW_ORDERS, EDIT_ORDERS; the group Gone deleted); alice holds VIEW_ORDERS and
// Clerks, bob the deleted constant and the deleted group; six log entries, from the second
// before the first day to the midnight after the last.
void fillScenario(testsupport::SecurityDb &db);

// `count` rows in every table a report lists, enough for several landscape pages.
void fillMany(testsupport::SecurityDb &db, int count);

// Keeps the database's connection, and with it the tables' keys, while it lives: without it
// every cursor opened after the last one closed pays for deriving the keys again.
std::unique_ptr<dbe::Table> holdConnection(const QString &alias);

void appendLog(const QString &alias, const QDateTime &when, int userId, const QVariant &accessId);
void deleteRow(const QString &alias, const QString &table, int id);

// The texts of one page line by line: text boxes recorded one after another on the same
// height form a line.
QList<QStringList> linesOf(const report::PageRecorder &pages, int page);

} // namespace reportdata
