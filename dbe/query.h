#pragma once

#include "dbe/dataset.h"

#include <QStringList>

namespace dbe {

// An SQL SELECT over the tables of one database, given line by line. The result is read at
// open(); its fields are described from the tables the columns come from, so that a report
// shows "Access_Name" as the 20-character text it is. A column name that occurs twice gets the
// suffix "_1" ("_2", ...) on its later occurrences: "User_ID", "User_ID_1".
class Query : public MemoryDataSet
{
    Q_OBJECT

public:
    explicit Query(QObject *parent = nullptr);

    QStringList sql() const { return m_sql; }
    void setSql(const QStringList &lines);
    void addLine(const QString &line) { m_sql.append(line); }
    void clearSql() { m_sql.clear(); }

protected:
    void fetch() override;

private:
    QStringList m_sql;
};

} // namespace dbe
