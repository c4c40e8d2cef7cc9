#pragma once

namespace cli {

// vesksec log export --alias NAME [--from YYYY-MM-DD] [--to YYYY-MM-DD] --csv FILE
// vesksec log purge  --alias NAME --before YYYY-MM-DD (--archive FILE | --discard)
//
// Writes the activity log (or the days of it asked for) as CSV, and removes the entries dated
// before a day, appending them to an archive first unless they are to be discarded.
int runLogCommand(int argc, char **argv);

} // namespace cli
