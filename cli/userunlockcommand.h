#pragma once

namespace cli {

// vesksec user unlock --alias NAME USER
//
// Clears the user's count of wrong passwords and his lockout, temporary or for good.
int runUserUnlockCommand(int argc, char **argv);

} // namespace cli
