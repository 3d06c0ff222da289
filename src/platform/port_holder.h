#pragma once
// Who holds a serial device open: another process with a descriptor on the same device node. Any thread;
// reads /proc (or the root given, for tests) and nothing else.
#include <optional>
#include <string>

struct PortHolder { int nPid = 0; std::string strProgram; };   // nPid 0 when the holder's pid is unknown

// The first other process found with `path`'s device open; nothing when none is found (or `path` is not a
// device node). The calling process itself is never reported.
std::optional<PortHolder> FindPortHolder(const std::string& path, const std::string& procRoot = "/proc");
