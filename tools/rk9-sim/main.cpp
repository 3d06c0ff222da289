// rk9-sim: the simulated RK-9 controller as a program (see `rk9-sim --help`).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/threads/stop_signal.h"
#include "sim_options.h"
#include "simulator.h"

namespace {

std::string CodeName(BYTE code) {
    if (code >= 0x21 && code < 0x7F) return std::string(1, static_cast<char>(code));
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", code);
    return hex;
}

void PrintSummary(const rk9sim::Simulator& sim) {
    const auto counts = sim.Counts();
    std::size_t total = 0;
    std::string detail;
    for (const auto& [code, count] : counts) {
        total += count;
        detail += " " + CodeName(code) + "=" + std::to_string(count);
    }
    std::printf("rk9-sim stopped: %zu requests%s%s\n", total, detail.empty() ? "" : ":", detail.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    rk9sim::SimOptions options;
    std::string error;
    if (!rk9sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, &error)) {
        std::fprintf(stderr, "rk9-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(rk9sim::SimHelpText(), stdout);
        return 0;
    }
    rk9sim::Simulator sim(options.profile, options.faults);
    if (options.nextTool) {
        sim.SetNextTool(*options.nextTool, options.nNextToolAfter,
                        std::chrono::milliseconds(options.nNextToolSilenceMs));
    }
    // Before any other thread: the signals are then blocked everywhere and arrive on the watcher's thread.
    StopSignalWatcher watcher([&sim](int) { sim.Stop(); });
    const bool opened =
        options.strDevice.empty() ? sim.OpenPty(&error) : sim.OpenDevice(options.strDevice, &error);
    if (!opened) {
        std::fprintf(stderr, "rk9-sim: %s\n", error.c_str());
        return 1;
    }
    if (options.strDevice.empty()) {
        std::printf("rk9-sim ready: %s QUARVEL_PORTS=%d=%s\n", sim.DevicePath().c_str(), options.nCom,
                    sim.DevicePath().c_str());
    } else {
        // The tool's own end of a pair or cable: Quarvel opens the other end, which only the user knows.
        std::printf(
            "rk9-sim ready: %s is the tool's end; give Quarvel the other end of the pair or cable, "
            "for example QUARVEL_PORTS=%d=/tmp/com1\n",
            sim.DevicePath().c_str(), options.nCom);
    }
    std::fflush(stdout);
    sim.Run();
    PrintSummary(sim);
    return 0;
}
