#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <vector>

namespace dbe {
class Backend;
class Table;
} // namespace dbe

namespace security {

// Which constants a user holds: a right of type exactly "C" grants its constant, one of type
// exactly "G" every member of its group (a lower-case letter names neither). The access test
// asks it both ways below, and both read the same rows: `rights` is USERACC.DB and `members`
// GRPCOLL.DB, each on its primary index. Both throw the engine's failures.

// Whether the user holds the constant: a direct grant by key, else a walk of the user's own
// rows with one member lookup per group, stopping at the first hit.
bool holdsAccess(dbe::Table &rights, dbe::Table &members, int userId, int accessId);

// One way in which a user holds a constant: granted directly, or through a group of his.
struct RightSource {
    static constexpr int Directly = 0; // group ids are numbered from 1
    int accessId = 0;
    int groupId = Directly;
};

// Every way the user holds each of his constants, in the order of his rows: his direct grants,
// then each group's members. The walk both answers below are built on, so that the kept answers
// and the explanations of the administration (effectiverights.h) cannot disagree.
std::vector<RightSource> rightSources(dbe::Table &rights, dbe::Table &members, int userId);

// Every constant the user holds, sorted and without repeats, for keeping in memory.
std::vector<int> heldAccessIds(dbe::Table &rights, dbe::Table &members, int userId);

// The same rule as one SELECT, for reading the rights together with a change watch in one go
// (Database::readWatched()): one row per constant held directly or through a group, repeats
// included. The statement's text depends on the storage only, so a caller may build it once;
// its values on the user. Throws the engine's failures.
QString heldAccessSql(dbe::Backend &backend);
QVariantList heldAccessValues(int userId);
// The rows of that statement as heldAccessIds() answers them: sorted, without repeats.
std::vector<int> heldAccessIds(const QList<QVariantList> &rows);

} // namespace security
