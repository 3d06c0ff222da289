// One request/reply exchange through the whole engine (calling thread -> engine thread -> link ->
// receive thread -> engine thread -> calling thread) over the in-memory link, with a tool that answers
// at once. Reports the median and the 99th percentile of single exchanges in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "protocol/hs_protocol_app.h"
#include "support/scripted_link.h"

namespace {
double Percentile(std::vector<double>& samples, double p) {
    if (samples.empty()) return 0.0;
    const auto index = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(index), samples.end());
    return samples[index];
}

template <class Call>
void RunExchanges(benchmark::State& state, Call&& call) {
    std::vector<double> micros;
    micros.reserve(1 << 16);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(call());
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["median_us"] = Percentile(micros, 0.50);
    state.counters["p99_us"] = Percentile(micros, 0.99);
}

void BM_ExchangeStatusOnly(benchmark::State& state) {
    ScriptedLink link;
    link.SetReply('A', MakeFrame(0x5A));
    CHSProtocolApp tool(&link);
    if (!tool.m_bStarted) {
        state.SkipWithError("engine did not start");
        return;
    }
    RunExchanges(state, [&] { return tool.SendCommand('A'); });
}
BENCHMARK(BM_ExchangeStatusOnly)->UseRealTime()->MinTime(1.0);

void BM_ExchangeCycleData(benchmark::State& state) {
    ScriptedLink link;
    link.SetReply('a', {0x55, 0x5A, 0x12, 0x2C, 0x01, 0xF4, 0x01, 0x00, 0x00, 0x03, 0x01,
                        0xE8, 0x03, 0xAA, 0xBB, 0x05, 0xCC, 0x02, 0x00, 0x0A, 0x00, 0xA9});
    CHSProtocolApp tool(&link);
    if (!tool.m_bStarted) {
        state.SkipWithError("engine did not start");
        return;
    }
    DWORD v[7];
    RunExchanges(state, [&] { return tool.GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]); });
}
BENCHMARK(BM_ExchangeCycleData)->UseRealTime()->MinTime(1.0);
}  // namespace

BENCHMARK_MAIN();
