#pragma once

#include <QList>
#include <QString>

namespace dbe {
class Table;
}

// The source texts that declare every access constant of a security database for a host
// program: Pascal constant lines and a C++ header. Kept free of widgets so that the command
// line tool writes the same texts as the desktop.
namespace constsource {

struct AccessConstant {
    int id = 0;
    QString name;
};

// Reads ACCESS.DB through `table` (whose database name is already set) in ascending id order,
// and closes the table again. Engine failures are thrown.
QList<AccessConstant> readAccessConstants(dbe::Table &table);
// The same through a table of its own on the database `alias`.
QList<AccessConstant> readAccessConstants(const QString &alias);

// "dsc_" and the name with blanks turned into underscores; nothing else changes.
QString pascalIdentifier(const QString &accessName);
// Two blanks, the identifier filled with blanks to 23 characters, "=", the id, ";", CR LF.
QString pascalLine(const AccessConstant &constant);
QString pascalText(const QList<AccessConstant> &constants);

// "dsc_" and the name with every character that cannot stand in a C++ identifier turned into
// an underscore.
QString cppIdentifier(const QString &accessName);
// The include guard for a header file name: "access_ids.h" gives "ACCESS_IDS_H".
QString includeGuard(const QString &fileName);
// One "constexpr int dsc_...=N;" line per constant, in order: what the clipboard takes for
// pasting into a C++ source.
QString cppDeclarations(const QList<AccessConstant> &constants);
// A header with an include guard and the declarations above.
QString cppHeader(const QList<AccessConstant> &constants, const QString &fileName);

// Writes `text` to `path` in UTF-8, replacing the file only once the whole text is on the disk.
// Throws dbe::Error (Io) with the file's name and the reason; the old file is kept then.
void writeTextFile(const QString &path, const QString &text);

} // namespace constsource
