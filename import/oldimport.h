#pragma once

#include <QString>
#include <functional>

// The conversion of the previous version's four files into an open security database, for the
// desktop's Import dialog and for `vesksec import`.
//
// It appends the old access constants, users and rights (and, when asked, the old settings)
// with new ids from the tables' autoincrement fields, writing a progress line for every row.
// All of it happens in one transaction: a failure or a cancel leaves the security database as
// it was, and every header byte the import changed in the old files back at its old value.
namespace oldimport {

struct Request {
    QString directory; // of the old files
    QString alias;     // of the security database; its password must be in the session
    bool systemInformation = false;
};

struct Progress {
    // Gets every progress line.
    std::function<void(const QString &line)> line;
    // Asked after every source row and after each table of the database is opened; false stops
    // the import there.
    std::function<bool()> keepGoing;
    // After every source row: the old file being read, the rows of it done and its row count.
    std::function<void(const QString &file, int done, int total)> rows = {};
};

enum class Result { Imported, Cancelled };

// Throws dbe::Error with the failure's text; nothing has been imported then.
Result run(const Request &request, const Progress &progress);

// What the security database holds already. The import adds beside it, so a second import
// doubles every user and constant: the administrator is told first.
struct TargetRows {
    int users = 0;
    int constants = 0;
};
TargetRows rowsInTarget(const QString &alias);

} // namespace oldimport
