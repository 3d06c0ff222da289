#pragma once
// The rk9-sim command line: where to serve, the tool profile (JSON file, then flags) and the faults.
// Pure parsing; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fault_plan.h"
#include "tool_profile.h"

namespace rk9sim {

struct SimOptions {
    int nCom = 1;           // COM number printed in the QUARVEL_PORTS hint
    std::string strDevice;  // serve this tty; empty: a new pseudo-terminal pair
    ToolProfile profile;
    FaultPlan faults;
    // --next-tool: after nNextToolAfter requests, silent for nNextToolSilenceMs, then this tool.
    std::optional<ToolProfile> nextTool;
    std::uint32_t nNextToolAfter = 9;
    std::uint32_t nNextToolSilenceMs = 2000;
    bool bHelp = false;
};

// False with a one-line reason in `error` for an unknown option or a bad value.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string* error);

// The text `rk9-sim --help` prints.
const char* SimHelpText();

}  // namespace rk9sim
