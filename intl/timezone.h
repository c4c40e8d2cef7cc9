#pragma once

namespace intl {

// Without TZ the C library looks at /etc/localtime again for every local time it converts: a
// report of a month's log did so some 300,000 times, a tenth of its run. Naming the zone file
// in TZ, when nothing else is named there, lets it read the file once. A program calls this at
// its start, before any thread; a zone changed while it runs is seen at its next start.
void readLocalTimeZoneOnce();

} // namespace intl
