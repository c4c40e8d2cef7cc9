#pragma once

namespace cli {

// vesksec report --alias NAME --type access|groups|usage|users|useraccess
//                [--from YYYY-MM-DD --to YYYY-MM-DD]
//                (--pdf FILE | --png DIR [--dpi N] | --print [PRINTER] [--copies N])
//
// Builds one of the five security reports exactly as the desktop's Reporting window does and
// writes it to a PDF file, to one PNG file per page, or to a printer. Needs no display. Runs
// its own application object, so it is called instead of the tool's other commands' set-up.
int runReportCommand(int argc, char **argv);

} // namespace cli
