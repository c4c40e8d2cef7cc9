#pragma once

namespace cli {

// vesksec user list|add|set|passwd|delete: the users of a security database for scripts, each
// change written through the rules of the setup editor.
int runUserCommand(int argc, char **argv);
// vesksec constant list|add|delete.
int runConstantCommand(int argc, char **argv);
// vesksec group list|add|delete.
int runGroupCommand(int argc, char **argv);
// vesksec grant|revoke: a constant or group to a user, a constant to a group.
int runGrantCommand(int argc, char **argv);
// vesksec rights|who-can: who holds what, and how.
int runRightsCommand(int argc, char **argv);

} // namespace cli
