// The breakdown of one exchange: where the time goes between the caller's request and its wake-up, hand-off
// by hand-off. Built against a copy of the protocol library compiled with QUARVEL_HANDOFF_TRACE (see
// bench/CMakeLists.txt), whose slots call HandoffMark at each put, wake-up and take; the product's library
// has no such calls. The link is wrapped so that the end of the engine's write and the receive thread's first
// read of the reply are marked too.
//   bench_handoffs N [session]
//                      N 'H' exchanges against the tool on COM1 (QUARVEL_PORTS; bench/run starts an rk9-sim
//                      program there), after a warm-up. Prints the median and the 90th percentile of every
//                      step in microseconds, then one JSON line with the same figures, the context switches
//                      and the CPU time of this process per exchange. Syscalls per exchange come from
//                      bench/handoffs, which runs this under strace. With "session", each of the N is a
//                      reading session ('D','A','a','c','e','g','h'), and only its whole time and its costs
//                      per session are printed.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "protocol/handoff_trace.h"
#include "protocol/hs_protocol_app.h"
#include "record/tool_record.h"
#include "serial/modem.h"

namespace {

using Clock = std::chrono::steady_clock;

// The marks of one exchange, in the order the chain passes them.
enum Point {
    kStart,          // the caller calls SendCommand
    kRequestFilled,  // caller: request copied into the request slot, waking the engine thread
    kRequestWoken,   // caller: that wake-up call returned
    kRequestTaken,   // engine thread: has the request
    kWritten,        // engine thread: the link's Write returned
    kArrived,        // receive thread: its first Read with reply bytes returned
    kFrameFilled,    // receive thread: frame copied into the received-frame slot, waking the engine thread
    kFrameWoken,     // receive thread: that wake-up call returned
    kFrameTaken,     // engine thread: has the frame
    kReplyFilled,    // engine thread: reply copied into the reply slot, waking the caller
    kReplyWoken,     // engine thread: that wake-up call returned
    kReplyTaken,     // caller: has the reply
    kEnd,            // the caller's SendCommand returned
    kPoints
};

using Record = std::array<std::atomic<long long>, kPoints>;

std::atomic<Record*> g_record{nullptr};
const CBuffer* g_slots[3] = {};                       // request, received, reply
std::atomic<pid_t> g_engineTid{0}, g_receiverTid{0};  // learnt from the marks each thread makes

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// A mark lands only in the exchange that is current and only once: a thread that is late with a mark (a
// waker preempted after its wake-up call) cannot overwrite the next exchange's.
void Mark(Point point) {
    Record* record = g_record.load(std::memory_order_acquire);
    if (record == nullptr) return;
    long long unset = 0;
    (*record)[point].compare_exchange_strong(unset, Now(), std::memory_order_relaxed);
}

// The link of the engine, with the end of each write and the first read of reply bytes marked.
class MarkingLink : public CInterface {
public:
    explicit MarkingLink(CInterface& inner) : m_inner(inner) {}
    BOOL SetMode(const char* mode) override { return m_inner.SetMode(mode); }
    BOOL Close() override { return m_inner.Close(); }
    int CancelRead() override { return m_inner.CancelRead(); }
    int Write(std::uint32_t n, const BYTE* data, std::uint32_t* written) override {
        const int result = m_inner.Write(n, data, written);
        Mark(kWritten);
        return result;
    }
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override {
        const int result = m_inner.Read(n, buffer, received);
        if (*received > 0) Mark(kArrived);
        return result;
    }

private:
    CInterface& m_inner;
};

// Lets the bench tell the engine's three slots apart.
class TracedEngine : public CHSProtocolApp {
public:
    explicit TracedEngine(CInterface* link) : CHSProtocolApp(link) {
        g_slots[0] = &m_bufRequest;
        g_slots[1] = &m_bufReceived;
        g_slots[2] = &m_bufReply;
    }
};

// One thread's time on a CPU (ns) and its context switches, voluntary and not, from /proc.
struct ThreadCost {
    double cpuNs = 0, voluntary = 0, involuntary = 0;
};

ThreadCost CostOf(pid_t tid) {
    ThreadCost cost;
    const std::string dir = "/proc/self/task/" + std::to_string(tid);
    std::ifstream(dir + "/schedstat") >> cost.cpuNs;
    std::ifstream status(dir + "/status");
    for (std::string key; status >> key;) {
        if (key == "voluntary_ctxt_switches:") status >> cost.voluntary;
        if (key == "nonvoluntary_ctxt_switches:") status >> cost.involuntary;
    }
    return cost;
}

double CpuSeconds(long* switches) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    *switches = u.ru_nvcsw + u.ru_nivcsw;
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

struct Step {
    const char* name;
    Point from, to;
    bool inChain;  // on the path from the request to the caller's wake-up; the others overlap it
};

constexpr Step kSteps[] = {
    {"caller: request into the slot", kStart, kRequestFilled, true},
    {"request hand-off: filled to engine awake", kRequestFilled, kRequestTaken, true},
    {"  of it, the caller's wake-up call", kRequestFilled, kRequestWoken, false},
    {"engine: request to written", kRequestTaken, kWritten, true},
    {"line and tool: written to bytes read", kWritten, kArrived, true},
    {"receiver: bytes read to frame filled", kArrived, kFrameFilled, true},
    {"frame hand-off: filled to engine awake", kFrameFilled, kFrameTaken, true},
    {"  of it, the receiver's wake-up call", kFrameFilled, kFrameWoken, false},
    {"engine: frame to reply filled", kFrameTaken, kReplyFilled, true},
    {"reply hand-off: filled to caller awake", kReplyFilled, kReplyTaken, true},
    {"  of it, the engine's wake-up call", kReplyFilled, kReplyWoken, false},
    {"caller: reply to return", kReplyTaken, kEnd, true},
    {"whole exchange", kStart, kEnd, false},
};

// One exchange, or one reading session of seven.
bool RunOne(CHSProtocolApp& e, bool session) {
    if (!session) return e.SendCommand(CMD_KEEP_ALIVE) == STATUS_OK;
    BYTE info[16];
    DWORD v[7];
    ToolRecord texts;
    return e.GetDeviceInfo(info) == STATUS_OK && e.SendCommand(CMD_ATTACH) == STATUS_OK &&
           e.GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]) == STATUS_OK &&
           e.GetControllerSerial(texts.ControllerSerial) == STATUS_OK &&
           e.GetToolSerial(texts.ToolSerial) == STATUS_OK &&
           e.GetFirmwareVersion(texts.FirmwareVersion) == STATUS_OK &&
           e.GetToolModel(texts.ToolModel) == STATUS_OK;
}

}  // namespace

void HandoffMark(const CBuffer* slot, HandoffEvent event) {
    for (int s = 0; s < 3; ++s) {
        if (g_slots[s] != slot) continue;
        static constexpr Point kPointOf[3][3] = {{kRequestFilled, kRequestWoken, kRequestTaken},
                                                 {kFrameFilled, kFrameWoken, kFrameTaken},
                                                 {kReplyFilled, kReplyWoken, kReplyTaken}};
        const Point point = kPointOf[s][static_cast<int>(event)];
        // Learnt during the warm-up, so that the measured exchanges make no syscall of the bench's own.
        if (point == kRequestTaken && g_engineTid.load(std::memory_order_relaxed) == 0)
            g_engineTid.store(gettid());
        if (point == kFrameFilled && g_receiverTid.load(std::memory_order_relaxed) == 0)
            g_receiverTid.store(gettid());
        Mark(point);
        return;
    }
}

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    const bool session = argc > 2 && std::string(argv[2]) == "session";
    auto port = std::make_unique<CModem>();
    if (n < 0 || !port->Open("baud=115200 parity=N data=8 stop=1", 1, 2000)) {
        std::fprintf(stderr, "bench_handoffs: COM1 did not open (set QUARVEL_PORTS)\n");
        return 1;
    }
    MarkingLink link(*port);
    auto engine = std::make_unique<TracedEngine>(&link);
    if (!engine->m_bStarted) return 1;
    for (int i = 0; i < 50; ++i)
        if (!RunOne(*engine, session)) return 1;

    std::vector<Record> records(static_cast<std::size_t>(n));
    const pid_t tids[3] = {gettid(), g_engineTid.load(), g_receiverTid.load()};
    ThreadCost before[3], after[3];
    for (int t = 0; t < 3; ++t) before[t] = CostOf(tids[t]);
    long switchesBefore = 0, switchesAfter = 0;
    const double cpuBefore = CpuSeconds(&switchesBefore);
    for (Record& record : records) {
        for (auto& t : record) t.store(0, std::memory_order_relaxed);
        g_record.store(&record, std::memory_order_release);
        Mark(kStart);
        if (!RunOne(*engine, session)) return 1;
        Mark(kEnd);
    }
    const double cpu = CpuSeconds(&switchesAfter) - cpuBefore;
    for (int t = 0; t < 3; ++t) after[t] = CostOf(tids[t]);
    g_record.store(nullptr, std::memory_order_release);
    engine.reset();
    if (n == 0) return 0;

    const char* const unit = session ? "session" : "exchange";
    if (session) {
        std::vector<double> us;
        for (const Record& r : records)
            us.push_back(static_cast<double>(r[kEnd].load() - r[kStart].load()) / 1000.0);
        std::printf("reading session: median %.1f us, p90 %.1f us\n", Percentile(us, 0.5),
                    Percentile(us, 0.9));
    } else {
        std::printf("%-44s %9s %9s %8s\n", "step of one 'H' exchange", "median us", "p90 us", "samples");
    }
    std::string json = std::string("{\"name\":\"") + unit + "_breakdown\",\"unit\":\"us\"";
    for (const Step& step : kSteps) {
        if (session) break;
        std::vector<double> us;
        for (const Record& r : records) {
            const long long a = r[step.from].load(), b = r[step.to].load();
            if (a != 0 && b != 0 && b >= a) us.push_back(static_cast<double>(b - a) / 1000.0);
        }
        const double median = Percentile(us, 0.5), p90 = Percentile(us, 0.9);
        std::printf("%-44s %9.1f %9.1f %8zu\n", step.name, median, p90, us.size());
        char part[160];
        std::snprintf(part, sizeof part, ",\"%s\":[%.2f,%.2f]", step.name, median, p90);
        json += part;
    }
    const double perExchange = static_cast<double>(n);
    std::printf("context switches per %s (this process): %.2f\n", unit,
                static_cast<double>(switchesAfter - switchesBefore) / perExchange);
    std::printf("CPU per %s (this process): %.1f us\n", unit, cpu * 1e6 / perExchange);
    static const char* const kThreadNames[3] = {"caller", "engine thread", "receive thread"};
    for (int t = 0; t < 3; ++t) {
        std::printf("  %-15s CPU %5.2f us, context switches %.2f voluntary + %.2f involuntary\n",
                    kThreadNames[t], (after[t].cpuNs - before[t].cpuNs) / 1000.0 / perExchange,
                    (after[t].voluntary - before[t].voluntary) / perExchange,
                    (after[t].involuntary - before[t].involuntary) / perExchange);
    }
    char tail[160];
    std::snprintf(tail, sizeof tail, ",\"context_switches_per_%s\":%.3f,\"cpu_us_per_%s\":%.2f}", unit,
                  static_cast<double>(switchesAfter - switchesBefore) / perExchange, unit,
                  cpu * 1e6 / perExchange);
    std::printf("%s%s\n", json.c_str(), tail);
    return 0;
}
