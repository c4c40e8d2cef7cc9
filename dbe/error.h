#pragma once

#include <QString>

#include <stdexcept>

namespace dbe {

// Every engine failure is thrown as an Error carrying the engine's text, so that callers can
// show it as it stands. The code tells kinds apart where a caller reacts differently.
class Error : public std::runtime_error
{
public:
    enum Code {
        NoError = 0, // only in results that report success or failure without throwing
        General = 1,
        KeyViolation,  // a duplicate key at post
        RecordChanged, // another user changed or deleted the row since it was read
        NotOpen,       // an operation on a closed data set
        WrongState,    // e.g. a field written while not editing
        UnknownField,
        UnknownIndex,
        UnknownAlias,
        DuplicateAlias,
        TableNotFound,
        BadPassword, // the table's key is unknown or wrong
        Locked, // an exclusive open refused, or an operation refused while others hold the table
        Io,
        RequiredField, // a field marked required is blank at post
        InvalidName,   // a name the engine cannot store (an alias name with a line break)
        Damaged,       // a table file that the known password should open but does not read
        TableExists,   // a table created without permission to replace an existing one
        InvalidDefinition, // a table description the storage cannot create
        Connection,    // the database server cannot be reached or dropped the connection
    };

    explicit Error(const QString &text, Code code = General);

    QString text() const { return m_text; }
    Code code() const { return m_code; }

private:
    QString m_text;
    Code m_code;
};

} // namespace dbe
