#pragma once
// The per-user state folder of the programs: $XDG_STATE_HOME/quarvel, or ~/.local/state/quarvel when
// XDG_STATE_HOME is unset or relative. Pure lookups of the environment; any thread.
#include <string>

// The folder's path (not created here); empty when no home folder can be found.
std::string QuarvelStateDirectory();
