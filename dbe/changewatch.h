#pragma once

namespace dbe {

// Tells, far more cheaply than reading them again, whether any transaction of any connection has
// committed a change to a set of tables since the watch was taken.
//
// Taken at the start of a transaction (Database::watchChanges()), a watch stands for what that
// transaction reads: a reader may keep what it read for as long as unchanged() answers true. A
// storage that cannot tell this cheaply and surely gives no watch. A watch is used while its
// database is open; unchanged() throws the engine's failures.
class ChangeWatch
{
public:
    virtual ~ChangeWatch() = default;
    virtual bool unchanged() const = 0;
};

} // namespace dbe
