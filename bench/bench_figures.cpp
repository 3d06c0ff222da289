// The figures of bench/run that are not Google Benchmark tables: each subcommand measures one figure with
// its floor in the same process and prints one JSON object per figure on standard output.
//   roundtrip N        'H' round trips through the engine over CModem against the tool on COM1
//   (QUARVEL_PORTS;
//                      bench/run starts rk9-sim programs there), beside the floor: one thread doing a
//                      blocking write, poll and read on the same kind of pseudo-terminal against the same
//                      program on COM2
//   session N          the reading session 'D','A','a','c','e','g','h' against COM1, beside the same seven
//                      exchanges at the floor and the time the bytes take on the wire at 115200 and 9600
//                      bit/s
//   cpu_exchange N     CPU time of this process per 'H' exchange through the engine, beside the floor's
//   cpu SECONDS        CPU time of this process while linked with the keep-alive running (tool on COM1)
//   teardown N         engine teardown of an idle linked session, and of one inside a keep-alive exchange
//   probe N [P]        the probe of COM1 to COM256 with the ports QUARVEL_PORTS maps, beside opening and
//   closing
//                      the same devices directly; with P, idle processes are started first until at least P
//                      processes exist, each with a few descriptors open, for the probe to look through
//   growth N           resident memory before and after N exchanges over an in-memory link
//   placement N        in one run, taking turns: 'H' round trips and sessions through an engine whose
//                      three threads start on one processor (COM1), through one whose threads the
//                      system places (QUARVEL_NO_AFFINITY=1, COM3), and through the first with the caller
//                      kept beside them; the CPU per exchange of both; then both again while a busy
//                      loop of another process holds the first engine's processor
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "figure.h"
#include "platform/serial/port_table.h"
#include "platform/threads/placement.h"
#include "protocol/hs_protocol_app.h"
#include "record/tool_record.h"
#include "responder.h"
#include "serial/modem.h"
#include "serial/port_probe.h"
#include "simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr BYTE kSessionCodes[] = {'D', 'A', 'a', 'c', 'e', 'g', 'h'};
constexpr int kWarmUp =
    50;  // exchanges before the measured ones, for the engine, its floor and the peer alike

double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The floor: a blocking write, then poll and read until the whole reply is there, on one thread.
class FloorClient {
public:
    explicit FloorClient(const std::string& path) : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~FloorClient() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }
    // Sends the request for `code` and reads a reply of `replyBytes`; false on a time-out.
    bool RoundTrip(BYTE code, std::size_t replyBytes) {
        const BYTE request[] = {0x55, code, 0x00, code};
        if (write(m_fd, request, sizeof request) != static_cast<ssize_t>(sizeof request)) return false;
        BYTE reply[256];
        std::size_t got = 0;
        while (got < replyBytes) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) return false;
            const ssize_t k = read(m_fd, reply + got, replyBytes - got);
            if (k <= 0) return false;
            got += static_cast<std::size_t>(k);
        }
        return true;
    }

private:
    int m_fd;
};

// The floor's tool: COM2 when it is mapped, else the engine's COM1.
std::string FloorPath() {
    const PortTable table = PortTable::FromEnvironment();
    return table.PathFor(2).empty() ? table.PathFor(1) : table.PathFor(2);
}

std::size_t ReplyBytes(BYTE code) { return rk9sim::Responder({}, {}).NormalReply(code).size(); }

std::unique_ptr<CModem> OpenCom1() {
    auto port = std::make_unique<CModem>();
    if (!port->Open("baud=115200 parity=N data=8 stop=1", 1, 2000)) return nullptr;
    return port;
}

// The floor and the engine each have a tool of their own (COM2 and COM1, the same program), and their samples
// alternate, so that both see the same load on the machine.
int RoundTrip(int n) {
    std::vector<double> floorUs, engineUs;
    FloorClient floor(FloorPath());
    auto port = OpenCom1();
    if (!floor.Ok() || !port) return 1;
    auto engine = std::make_unique<CHSProtocolApp>(port.get());
    // Warm-up, unmeasured: threads running, pages touched and both tools past their own first requests.
    for (int i = 0; i < kWarmUp; ++i)
        if (!floor.RoundTrip('H', 4) || engine->SendCommand(CMD_KEEP_ALIVE) != STATUS_OK) return 1;
    for (int i = 0; i < n; ++i) {
        auto t = Clock::now();
        if (!floor.RoundTrip('H', 4)) return 1;
        floorUs.push_back(Us(Clock::now() - t));
        t = Clock::now();
        if (engine->SendCommand(CMD_KEEP_ALIVE) != STATUS_OK) return 1;
        engineUs.push_back(Us(Clock::now() - t));
    }
    engine.reset();
    Figure("roundtrip_median", Percentile(engineUs, 0.5), "us", "floor write/poll/read",
           Percentile(floorUs, 0.5), "<= 2x floor");
    Figure("roundtrip_p99", Percentile(engineUs, 0.99), "us", "floor write/poll/read",
           Percentile(floorUs, 0.99), "<= 2x floor");
    return 0;
}

double CpuSeconds();

std::unique_ptr<CModem> OpenCom(int com) {
    auto port = std::make_unique<CModem>();
    if (!port->Open("baud=115200 parity=N data=8 stop=1", com, 2000)) return nullptr;
    return port;
}

// The calling thread on `processor` only (the bench's own caller and busy loop, not the engine's threads).
void PinThisThread(int processor) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(processor, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

// A thread of its own kept on one processor that runs the calls it is given, one at a time: the caller
// placed beside the engine's threads.
class PlacedCaller {
public:
    explicit PlacedCaller(int processor)
        : m_thread([this, processor] {
              PinThisThread(processor);
              std::unique_lock lock(m_mutex);
              for (;;) {
                  m_cv.wait(lock, [this] { return m_stop || m_work; });
                  if (m_stop) return;
                  m_work();
                  m_work = nullptr;
                  m_cv.notify_all();
              }
          }) {}
    ~PlacedCaller() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    void Run(std::function<void()> work) {
        std::unique_lock lock(m_mutex);
        m_work = std::move(work);
        m_cv.notify_all();
        m_cv.wait(lock, [this] { return !m_work; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::function<void()> m_work;
    bool m_stop = false;
    std::thread m_thread;
};

int RunSessionOnce(CHSProtocolApp& e);

// Another process that spins on `processor` until it is killed.
pid_t StartBusyLoop(int processor) {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        PinThisThread(processor);
        volatile unsigned long spins = 0;
        for (;;) spins += 1;
    }
    return pid;
}

int Placement(int n) {
    auto portTogether = OpenCom(1), portFree = OpenCom(3);
    if (!portTogether || !portFree) return 1;
    auto together = std::make_unique<CHSProtocolApp>(portTogether.get());
    setenv("QUARVEL_NO_AFFINITY", "1", 1);
    auto loose = std::make_unique<CHSProtocolApp>(portFree.get());
    unsetenv("QUARVEL_NO_AFFINITY");
    const int processor = together->WorkerProcessor();
    if (processor < 0 || loose->WorkerProcessor() >= 0) {
        std::fprintf(stderr, "placement: the engines' threads were not placed as asked\n");
        return 1;
    }
    PlacedCaller beside(processor);
    const auto roundTrip = [](CHSProtocolApp& e) { return e.SendCommand(CMD_KEEP_ALIVE) == STATUS_OK; };
    const auto session = [](CHSProtocolApp& e) { return RunSessionOnce(e) == 0; };
    bool ok = true;
    for (int i = 0; i < kWarmUp; ++i) ok = ok && roundTrip(*together) && roundTrip(*loose);
    if (!ok) return 1;
    // Samples of the three ways in blocks that take turns, so that the machine's load hits them alike.
    const auto measure = [&](const auto& exchange, int samples, std::vector<double>& t,
                             std::vector<double>& f, std::vector<double>* placed) {
        const int block = 50;
        for (int done = 0; done < samples && ok; done += block) {
            for (int i = 0; i < block && ok; ++i) {
                auto start = Clock::now();
                ok = exchange(*together);
                t.push_back(Us(Clock::now() - start));
            }
            for (int i = 0; i < block && ok; ++i) {
                auto start = Clock::now();
                ok = exchange(*loose);
                f.push_back(Us(Clock::now() - start));
            }
            if (placed == nullptr) continue;
            beside.Run([&] {
                for (int i = 0; i < block && ok; ++i) {
                    auto start = Clock::now();
                    ok = exchange(*together);
                    placed->push_back(Us(Clock::now() - start));
                }
            });
        }
    };
    std::vector<double> rtT, rtF, rtP, sT, sF, sP, busyT, busyF;
    measure(roundTrip, n, rtT, rtF, &rtP);
    measure(session, std::max(n / 7, 50), sT, sF, &sP);
    // CPU per exchange, in alternating blocks.
    std::vector<double> cpuT, cpuF;
    for (int done = 0; done < n && ok; done += 100) {
        double c = CpuSeconds();
        for (int i = 0; i < 100 && ok; ++i) ok = roundTrip(*together);
        cpuT.push_back((CpuSeconds() - c) * 1e6 / 100);
        c = CpuSeconds();
        for (int i = 0; i < 100 && ok; ++i) ok = roundTrip(*loose);
        cpuF.push_back((CpuSeconds() - c) * 1e6 / 100);
    }
    // The processor the placed threads started on is busy with another program's loop.
    const pid_t busy = StartBusyLoop(processor);
    if (busy > 0) {
        measure(roundTrip, n / 2, busyT, busyF, nullptr);
        kill(busy, SIGKILL);
        waitpid(busy, nullptr, 0);
    }
    together.reset();
    loose.reset();
    if (!ok || busy <= 0) return 1;
    const double t = Percentile(rtT, 0.5), f = Percentile(rtF, 0.5);
    Figure("roundtrip_threads_together_median", t, "us", "threads placed by the system", f, "<= 1x");
    Figure("roundtrip_threads_together_p99", Percentile(rtT, 0.99), "us", "threads placed by the system",
           Percentile(rtF, 0.99), "-");
    Figure("roundtrip_caller_beside_median", Percentile(rtP, 0.5), "us", "caller not placed", t, "-");
    Figure("session_threads_together_median", Percentile(sT, 0.5), "us", "threads placed by the system",
           Percentile(sF, 0.5), "<= 1x");
    Figure("session_caller_beside_median", Percentile(sP, 0.5), "us", "caller not placed",
           Percentile(sT, 0.5), "-");
    Figure("cpu_per_exchange_together", Percentile(cpuT, 0.5), "us of CPU", "threads placed by the system",
           Percentile(cpuF, 0.5), "-");
    Figure("roundtrip_busy_processor_together_median", Percentile(busyT, 0.5), "us",
           "threads placed by the system, same busy loop", Percentile(busyF, 0.5), "-");
    return 0;
}

// The CPU time (user and system, every thread of this process) that one 'H' exchange costs through the
// engine, and through the floor. Unlike the round-trip times this hardly depends on how busy the machine
// is: it counts the work done, not the waiting. The two run in alternating blocks.
int CpuPerExchange(int n) {
    FloorClient floor(FloorPath());
    auto port = OpenCom1();
    if (!floor.Ok() || !port) return 1;
    auto engine = std::make_unique<CHSProtocolApp>(port.get());
    for (int i = 0; i < kWarmUp; ++i)
        if (!floor.RoundTrip('H', 4) || engine->SendCommand(CMD_KEEP_ALIVE) != STATUS_OK) return 1;
    std::vector<double> engineUs, floorUs;
    const int block = 100;
    for (int done = 0; done < n; done += block) {
        double t = CpuSeconds();
        for (int i = 0; i < block; ++i)
            if (engine->SendCommand(CMD_KEEP_ALIVE) != STATUS_OK) return 1;
        engineUs.push_back((CpuSeconds() - t) * 1e6 / block);
        t = CpuSeconds();
        for (int i = 0; i < block; ++i)
            if (!floor.RoundTrip('H', 4)) return 1;
        floorUs.push_back((CpuSeconds() - t) * 1e6 / block);
    }
    engine.reset();
    Figure("cpu_per_exchange", Percentile(engineUs, 0.5), "us of CPU", "floor write/poll/read",
           Percentile(floorUs, 0.5), "-");
    return 0;
}

int RunSessionOnce(CHSProtocolApp& e) {
    BYTE info[16];
    DWORD v[7];
    ToolRecord texts;
    int bad = 0;
    bad += e.GetDeviceInfo(info) != STATUS_OK;
    bad += e.SendCommand(CMD_ATTACH) != STATUS_OK;
    bad += e.GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]) != STATUS_OK;
    bad += e.GetControllerSerial(texts.ControllerSerial) != STATUS_OK;
    bad += e.GetToolSerial(texts.ToolSerial) != STATUS_OK;
    bad += e.GetFirmwareVersion(texts.FirmwareVersion) != STATUS_OK;
    bad += e.GetToolModel(texts.ToolModel) != STATUS_OK;
    return bad;
}

int Session(int n) {
    // The reply sizes are worked out before any timing: the floor's clock covers only its syscalls.
    std::size_t replyBytes[std::size(kSessionCodes)];
    std::size_t wireBytes = 0;
    for (std::size_t c = 0; c < std::size(kSessionCodes); ++c) {
        replyBytes[c] = ReplyBytes(kSessionCodes[c]);
        wireBytes += 4 + replyBytes[c];
    }
    auto floorSession = [&](FloorClient& client) {
        for (std::size_t c = 0; c < std::size(kSessionCodes); ++c)
            if (!client.RoundTrip(kSessionCodes[c], replyBytes[c])) return false;
        return true;
    };
    std::vector<double> floorUs, engineUs;
    FloorClient client(FloorPath());
    auto port = OpenCom1();
    if (!client.Ok() || !port) return 1;
    auto engine = std::make_unique<CHSProtocolApp>(port.get());
    for (int i = 0; i < kWarmUp / 7; ++i) {
        if (!floorSession(client) || RunSessionOnce(*engine) != 0) return 1;
    }
    for (int i = 0; i < n; ++i) {
        auto t = Clock::now();
        if (!floorSession(client)) return 1;
        floorUs.push_back(Us(Clock::now() - t));
        t = Clock::now();
        if (RunSessionOnce(*engine) != 0) return 1;
        engineUs.push_back(Us(Clock::now() - t));
    }
    engine.reset();
    const double wire115200 = static_cast<double>(wireBytes) * 10.0 / 115200.0 * 1e6;
    const double wire9600 = static_cast<double>(wireBytes) * 10.0 / 9600.0 * 1e6;
    const double session = Percentile(engineUs, 0.5), floor = Percentile(floorUs, 0.5);
    Figure("session_pty_median", session, "us", "floor, same 7 exchanges", floor, "-");
    Figure("session_overhead_vs_wire_115200", std::max(session - floor, 0.0), "us",
           "wire time at 115200 bit/s", wire115200, "< 1% of wire time");
    Figure("session_overhead_vs_wire_9600", std::max(session - floor, 0.0), "us", "wire time at 9600 bit/s",
           wire9600, "-");
    Figure("session_pty_vs_wire_115200", session, "us", "wire time at 115200 bit/s", wire115200, "-");
    std::fprintf(stderr, "session: %zu bytes on the wire\n", wireBytes);
    return 0;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Cpu(int seconds) {
    auto port = OpenCom1();
    if (!port) return 1;
    auto engine = std::make_unique<CHSProtocolApp>(port.get());
    if (RunSessionOnce(*engine) != 0) return 1;
    engine->StartKeepAlive(1000);
    const double before = CpuSeconds();
    const auto t = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = CpuSeconds() - before;
    const double wall = std::chrono::duration<double>(Clock::now() - t).count();
    engine.reset();
    Figure("cpu_linked_keepalive", cpu / wall * 100.0, "% of a core", "goal", 0.2, "< 0.2% of one core");
    return 0;
}

int Teardown(int n) {
    std::vector<double> idleMs, busyMs;
    rk9sim::FaultPlan silentH;
    silentH.silentCodes = {CMD_KEEP_ALIVE};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < n; ++i) {
            rk9sim::Simulator sim({}, round == 0 ? rk9sim::FaultPlan{} : silentH);
            std::string error;
            if (!sim.OpenPty(&error) || !sim.Start()) return 1;
            ::setenv("QUARVEL_PORTS", ("1=" + sim.DevicePath()).c_str(), 1);
            auto port = OpenCom1();
            if (!port) return 1;
            auto engine = std::make_unique<CHSProtocolApp>(port.get());
            if (RunSessionOnce(*engine) != 0) return 1;
            engine->StartKeepAlive(1000);
            // Idle: the keep-alive has had its answer and sleeps. Busy: its 'H' waits for a reply.
            if (!sim.WaitForRequests(8, std::chrono::seconds(5))) return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(round == 0 ? 50 : 5));
            const auto t = Clock::now();
            engine.reset();
            (round == 0 ? idleMs : busyMs).push_back(Us(Clock::now() - t) / 1000.0);
            port.reset();
            sim.Stop();
        }
    }
    Figure("disconnect_idle", Percentile(idleMs, 0.5), "ms", "goal", 50, "< 50 ms");
    Figure("disconnect_in_exchange", Percentile(busyMs, 0.5), "ms", "goal", 50, "< 50 ms");
    Figure("disconnect_worst", std::max(Percentile(idleMs, 1.0), Percentile(busyMs, 1.0)), "ms", "goal", 50,
           "< 50 ms");
    return 0;
}

int CountProcesses() {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return 0;
    int count = 0;
    while (const dirent* entry = readdir(proc)) count += entry->d_name[0] >= '1' && entry->d_name[0] <= '9';
    closedir(proc);
    return count;
}

// Idle child processes (each a `sleep` with eight descriptors open) that end with this process, however it
// ends (the kernel kills each when its parent goes), and are killed and reaped when the object goes.
class ProcessCrowd {
public:
    explicit ProcessCrowd(int atLeast) {
        const pid_t parent = getpid();
        for (int missing = atLeast - CountProcesses(); missing > 0; --missing) {
            const pid_t pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (getppid() != parent) _exit(0);
                for (int i = 0; i < 5; ++i) (void)open("/dev/null", O_RDONLY);
                execlp("sleep", "sleep", "600", static_cast<char*>(nullptr));
                _exit(127);
            }
            if (pid > 0) m_pids.push_back(pid);
        }
    }
    ~ProcessCrowd() {
        for (const pid_t pid : m_pids) kill(pid, SIGKILL);
        for (const pid_t pid : m_pids) waitpid(pid, nullptr, 0);
    }
    ProcessCrowd(const ProcessCrowd&) = delete;
    ProcessCrowd& operator=(const ProcessCrowd&) = delete;

private:
    std::vector<pid_t> m_pids;
};

int Probe(int n, int processes) {
    ProcessCrowd crowd(processes);
    const PortTable table = PortTable::FromEnvironment();
    std::vector<std::string> mapped;
    for (int p = 1; p <= 256; ++p)
        if (!table.PathFor(p).empty()) mapped.push_back(table.PathFor(p));
    std::vector<double> probeMs, floorMs;
    for (int i = 0; i < n; ++i) {
        auto t = Clock::now();
        ProbeResult result = ProbePorts(2000);
        result.ports.clear();
        probeMs.push_back(Us(Clock::now() - t) / 1000.0);
        if (result.refused.size() + 3 < mapped.size()) return 1;
        t = Clock::now();
        for (const std::string& path : mapped) {
            const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) close(fd);
        }
        floorMs.push_back(Us(Clock::now() - t) / 1000.0);
    }
    const std::string versus =
        "open+close of the mapped devices (" + std::to_string(CountProcesses()) + " processes)";
    Figure("probe_com1_256", Percentile(probeMs, 0.5), "ms", versus.c_str(), Percentile(floorMs, 0.5),
           "< 50 ms");
    return 0;
}

// An in-memory link that answers every request at once with a fixed 'Z' frame and keeps no history.
class EchoLink : public CInterface {
public:
    BOOL SetMode(const char*) override { return TRUE; }
    BOOL Close() override { return TRUE; }
    int CancelRead() override {
        std::lock_guard lock(m_mutex);
        m_bCancel = true;
        m_cv.notify_all();
        return TRUE;
    }
    int Write(std::uint32_t, const BYTE*, std::uint32_t*) override {
        static const BYTE reply[] = {0x55, 0x5A, 0x00, 0x5A};
        std::lock_guard lock(m_mutex);
        m_pending.insert(m_pending.end(), std::begin(reply), std::end(reply));
        m_cv.notify_all();
        return TRUE;
    }
    int Read(std::uint32_t n, BYTE* buffer, std::uint32_t* received) override {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(2000 + n),
                      [&] { return m_bCancel || !m_pending.empty(); });
        *received = 0;
        if (m_bCancel) {
            m_bCancel = false;
            return 0;
        }
        while (*received < n && !m_pending.empty()) {
            buffer[(*received)++] = m_pending.front();
            m_pending.pop_front();
        }
        return TRUE;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<BYTE> m_pending;
    bool m_bCancel = false;
};

std::size_t ResidentKiB() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    unsigned long size = 0, resident = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%lu %lu", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

int Growth(int n) {
    EchoLink link;
    CHSProtocolApp engine(&link);
    // Warm-up: the threads' stacks and the allocator's per-thread arenas reach their working size first.
    for (int i = 0; i < 20000; ++i) engine.SendCommand(CMD_KEEP_ALIVE);
    (void)ResidentKiB();  // its own stdio buffer is allocated once, before the first reading that counts
    const std::size_t before = ResidentKiB();
    std::size_t half = 0;
    for (int i = 0; i < n; ++i) {
        if (engine.SendCommand(CMD_KEEP_ALIVE) != STATUS_OK) return 1;
        if (i == n / 2) half = ResidentKiB();
    }
    const std::size_t after = ResidentKiB();
    std::fprintf(stderr, "growth: RSS %zu KiB, %zu KiB half-way, %zu KiB after %d exchanges\n", before, half,
                 after, n);
    Figure("rss_growth_100k_exchanges", static_cast<double>(after) - static_cast<double>(before), "KiB",
           "RSS before", static_cast<double>(before), "0");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_figures "
                     "roundtrip|session|cpu_exchange|cpu|teardown|probe|growth|placement N [processes]\n");
        return 2;
    }
    const std::string what = argv[1];
    const int n = std::atoi(argv[2]);
    int rc = 2;
    if (what == "roundtrip") rc = RoundTrip(n);
    if (what == "placement") rc = Placement(n);
    if (what == "session") rc = Session(n);
    if (what == "cpu_exchange") rc = CpuPerExchange(n);
    if (what == "cpu") rc = Cpu(n);
    if (what == "teardown") rc = Teardown(n);
    if (what == "probe") rc = Probe(n, argc > 3 ? std::atoi(argv[3]) : 0);
    if (what == "growth") rc = Growth(n);
    if (rc == 1)
        std::fprintf(stderr, "bench_figures %s: the tool did not answer or a port did not open\n",
                     what.c_str());
    return rc;
}
