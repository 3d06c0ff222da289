// One request/reply round trip ('H', four bytes each way) through CHSProtocol over CModem on a
// pseudo-terminal against the in-process simulator, beside its floor measured in the same run: one thread
// doing a blocking write, poll and read on the same kind of pseudo-terminal against the same simulator.
// Prints median and p99 of both and their ratio after the Google Benchmark table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/pseudo_terminal.h"
#include "protocol/hs_protocol_app.h"
#include "serial/modem.h"
#include "simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<double> g_floorUs;
std::vector<double> g_engineUs;

// A simulator on its own thread; each benchmark gets a fresh one.
struct RunningSim {
    rk9sim::Simulator sim;
    bool bReady = false;
    RunningSim() {
        std::string error;
        bReady = sim.OpenPty(&error) && sim.Start();
        if (!bReady) std::fprintf(stderr, "simulator: %s\n", error.c_str());
    }
    ~RunningSim() { sim.Stop(); }
};

void BM_FloorWritePollRead(benchmark::State& state) {
    RunningSim running;
    PseudoTerminal client;
    std::string error;
    if (!running.bReady || !client.Attach(running.sim.DevicePath(), &error)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const BYTE request[] = {0x55, 'H', 0x00, 'H'};
    BYTE reply[8];
    for (auto _ : state) {
        const auto start = Clock::now();
        client.Write(request, sizeof request);
        std::size_t got = 0;
        while (got < 4) {
            const int k = client.Read(reply + got, 4 - got, 2000);
            if (k <= 0) break;
            got += static_cast<std::size_t>(k);
        }
        g_floorUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (got != 4) state.SkipWithError("no reply");
    }
}

void BM_EngineOverModem(benchmark::State& state) {
    RunningSim running;
    if (!running.bReady) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    ::setenv("QUARVEL_PORTS", ("1=" + running.sim.DevicePath()).c_str(), 1);
    auto port = std::make_unique<CModem>();
    if (!port->Open("baud=115200 parity=N data=8 stop=1", 1, 2000)) {
        state.SkipWithError("port did not open");
        return;
    }
    auto engine = std::make_unique<CHSProtocolApp>(port.get());
    if (!engine->m_bStarted) {
        state.SkipWithError("engine did not start");
        return;
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        const int status = engine->SendCommand(CMD_KEEP_ALIVE);
        g_engineUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (status != STATUS_OK) state.SkipWithError("exchange failed");
    }
    engine.reset();
    port.reset();
}

BENCHMARK(BM_FloorWritePollRead)->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EngineOverModem)->Iterations(20000)->Unit(benchmark::kMicrosecond);

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double floorMedian = Percentile(g_floorUs, 0.5), floorP99 = Percentile(g_floorUs, 0.99);
    const double engineMedian = Percentile(g_engineUs, 0.5), engineP99 = Percentile(g_engineUs, 0.99);
    std::printf("\nround trip          median us    p99 us   samples\n");
    std::printf("floor (write/poll)  %9.1f %9.1f %9zu\n", floorMedian, floorP99, g_floorUs.size());
    std::printf("engine over CModem  %9.1f %9.1f %9zu\n", engineMedian, engineP99, g_engineUs.size());
    if (floorMedian > 0 && floorP99 > 0) {
        std::printf("ratio               %9.2f %9.2f\n", engineMedian / floorMedian, engineP99 / floorP99);
        std::printf(
            "{\"floor_median_us\":%.1f,\"floor_p99_us\":%.1f,\"engine_median_us\":%.1f,"
            "\"engine_p99_us\":%.1f,\"ratio_median\":%.2f,\"ratio_p99\":%.2f}\n",
            floorMedian, floorP99, engineMedian, engineP99, engineMedian / floorMedian, engineP99 / floorP99);
    }
    return 0;
}
