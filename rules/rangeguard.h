#pragma once

#include "dbe/table.h"
#include "rules/logging.h"

// Keeps a cursor to one key's rows only while a walk runs. The range names the leading key
// field alone, which holds exactly its rows without the value after it (which the largest value
// has not).
namespace security {

class RangeGuard
{
public:
    RangeGuard(dbe::Table &table, int key) : m_table(table) { m_table.setRange({key}, {key}); }
    ~RangeGuard()
    {
        try {
            // The next use sets its own range or key: no need to read the first row here.
            m_table.dropRange();
        } catch (const std::exception &error) {
            // The walk's failure, if any, is on its way to the caller already.
            qCInfo(security::lcSecurity).noquote()
                << "leaving the range of" << m_table.tableName() << "failed:" << error.what();
        }
    }
    RangeGuard(const RangeGuard &) = delete;
    RangeGuard &operator=(const RangeGuard &) = delete;

private:
    dbe::Table &m_table;
};

} // namespace security
