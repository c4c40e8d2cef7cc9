#pragma once

namespace cli {

// vesksec copy --from ALIAS --alias NEW (--dir DIR | --server CONNINFO --schema NAME) [--replace]
int runCopyCommand(int argc, char **argv);
// vesksec backup --alias A --out FILE
int runBackupCommand(int argc, char **argv);
// vesksec restore --in FILE --alias A (--dir DIR | --server CONNINFO --schema NAME) [--replace]
int runRestoreCommand(int argc, char **argv);

} // namespace cli
