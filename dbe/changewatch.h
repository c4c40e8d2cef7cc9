#pragma once

namespace dbe {

// Tells, without a query and without a system call, whether any transaction of any connection
// has committed a change to a set of tables since the watch was taken.
//
// Taken inside a transaction that holds the tables still (Database::watchChanges()), a watch
// stands for exactly what that transaction read: a reader may keep what it read for as long as
// unchanged() answers true. A storage that cannot tell this cheaply and surely gives no watch.
class ChangeWatch
{
public:
    virtual ~ChangeWatch() = default;
    virtual bool unchanged() const = 0;
};

} // namespace dbe
