#pragma once

namespace cli {

// vesksec audit verify --alias NAME
// vesksec audit list   --alias NAME [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--json]
//
// verify walks the chain of the audit trail: exit 0 with the count and the last MAC when it is
// whole, 1 naming the first entry that breaks it. list prints the entries, oldest first.
int runAuditCommand(int argc, char **argv);

} // namespace cli
