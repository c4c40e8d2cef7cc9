#pragma once

namespace cli {

// vesksec policy --alias NAME [--lockout-after N] [--lockout-minutes M] [--permanent-after K]
//                [--log-failed on|off] [--json]
//
// Sets the logon policy of the database (the options given; the others keep their values) and
// prints it; with no option it only prints it.
int runPolicyCommand(int argc, char **argv);

} // namespace cli
