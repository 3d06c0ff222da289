// Fuzz target: the byte stream from the tool into the receiver and the engine (CHSProtocolApp on an
// in-memory link). Input: one flags byte (bit 0: repair the checksums of the frames in the answers;
// bits 1-3: most bytes per Read, 0 for no limit), then per exchange an operation byte, a length byte and
// that many bytes the tool answers with once the request is written.
// Properties: a 'Z' comes only from a whole 'Z' frame with a right checksum in what the tool sent, taken in
// stream order, and the outputs carry that frame's fields; every status is 'Z' or 0xA5-0xB1; outputs stay
// untouched unless the status is 'Z', and text buffers are never written past their capacity; every
// request goes out as 55 code 00 code, a refused code as nothing at all with 0xA5; every exchange and the
// teardown end within the reply time-out plus a margin.
// An input that leaves the engine as a fresh one leaves it to the next input (EngineRig); any other input
// tears it down itself, so the teardown it causes is checked with it and a crash input replays alone.
#include <sched.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "engine_rig.h"
#include "fuzz_check.h"
#include "reply_oracle.h"
#include "tool_stream_link.h"

namespace {

// The link hands the engine every frame of an answer before its Write returns, so the reply, if there is
// one, is in the received slot when the engine looks: no time-out is needed to wait for it.
constexpr DWORD kReplyTimeoutMs = 0;
// Scheduling slack on a loaded machine; an exchange that hangs or waits twice blows through it.
constexpr auto kMargin = std::chrono::milliseconds(1500);
// How long the receiver may take after an input to be back in Read; one held up longer (in a hand-over
// nobody completes) is not clean anyway, and the rig is rebuilt.
constexpr auto kSettleBound = std::chrono::milliseconds(2);
constexpr int kMaxExchanges = 12;
constexpr DWORD kSentinel = 0xDEADBEEFu;
constexpr char16_t kSentinelUnit = 0xBEEF;
constexpr int kGuardUnits = 8;

using Clock = std::chrono::steady_clock;

bool IsAppCommand(BYTE c) {
    return (c >= 'a' && c <= 'n') || (c >= 'A' && c <= 'H') || (c >= 'M' && c <= 'T');
}
bool IsReplyType(int s) { return s == STATUS_OK || (s >= STATUS_FAILURE_FIRST && s <= STATUS_FAILURE_LAST); }

DWORD Le(const std::vector<BYTE>& p, std::size_t at, int bytes) {
    DWORD v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[at + static_cast<std::size_t>(i)];
    return v;
}

// The front of the vector as an array of N units (it holds N plus the guard units).
template <int N>
char16_t (&As(std::vector<char16_t>& buffer))[N] {
    return *reinterpret_cast<char16_t(*)[N]>(buffer.data());
}

struct Exchange {
    CHSProtocolApp& engine;
    ToolStreamLink& link;
    ReplyOracle& oracle;

    int Text(BYTE code, int capacity) {
        std::vector<char16_t> buffer(static_cast<std::size_t>(capacity + kGuardUnits), kSentinelUnit);
        // The commands take arrays of the text's exact size; the guard units behind it must survive.
        int status = 0;
        switch (code) {
            case 'c':
                status = engine.GetControllerSerial(As<CONTROLLER_SERIAL_UNITS>(buffer));
                break;
            case 'e':
                status = engine.GetToolSerial(As<TOOL_SERIAL_UNITS>(buffer));
                break;
            case 'g':
                status = engine.GetFirmwareVersion(As<FIRMWARE_VERSION_UNITS>(buffer));
                break;
            default:
                status = engine.GetToolModel(As<TOOL_MODEL_UNITS>(buffer));
                break;
        }
        for (int i = capacity; i < capacity + kGuardUnits; ++i) {
            FUZZ_CHECK(buffer[static_cast<std::size_t>(i)] == kSentinelUnit,
                       "text '%c' written past its buffer", code);
        }
        if (status != STATUS_OK) {
            FUZZ_CHECK(
                std::all_of(buffer.begin(), buffer.end(), [](char16_t u) { return u == kSentinelUnit; }),
                "text '%c' written with status 0x%02X", code, status);
            return status;
        }
        const auto end = std::find(buffer.begin(), buffer.begin() + capacity, u'\0');
        FUZZ_CHECK(end != buffer.begin() + capacity, "text '%c' not NUL-terminated within its buffer", code);
        const std::u16string got(buffer.begin(), end);
        const bool matched = oracle.Match(link.Released(), [&](const CandidateFrame& f) {
            const auto nul = std::find(f.payload.begin(), f.payload.end(), BYTE{0});
            const std::vector<BYTE> text(f.payload.begin(), nul);
            if (!std::all_of(text.begin(), text.end(), [](BYTE b) { return b < 0x80; })) return true;
            const std::size_t kept = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
            return got == std::u16string(text.begin(), text.begin() + static_cast<long>(kept));
        });
        FUZZ_CHECK(matched, "text '%c' answered 'Z' without a sound 'Z' frame carrying it", code);
        return status;
    }

    int CycleData() {
        DWORD v[7];
        std::fill(std::begin(v), std::end(v), kSentinel);
        const int status = engine.GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]);
        if (status != STATUS_OK) {
            FUZZ_CHECK(std::all_of(std::begin(v), std::end(v), [](DWORD x) { return x == kSentinel; }),
                       "cycle data written with status 0x%02X", status);
            return status;
        }
        const bool matched = oracle.Match(link.Released(), [&](const CandidateFrame& f) {
            const auto& p = f.payload;
            return p.size() >= 18 && v[0] == Le(p, 0, 2) && v[1] == Le(p, 2, 4) && v[2] == Le(p, 6, 2) &&
                   v[3] == Le(p, 8, 2) && v[4] == p[12] && v[5] == Le(p, 14, 2) && v[6] == Le(p, 16, 2);
        });
        FUZZ_CHECK(matched, "cycle data answered 'Z' without a sound 'Z' frame carrying it");
        return status;
    }

    int DeviceInfo() {
        BYTE record[16 + kGuardUnits];
        std::fill(std::begin(record), std::end(record), BYTE{0xA5});
        const int status = engine.GetDeviceInfo(record);
        for (int i = 16; i < 16 + kGuardUnits; ++i) FUZZ_CHECK(record[i] == 0xA5, "device record overrun");
        if (status != STATUS_OK) {
            FUZZ_CHECK(std::all_of(std::begin(record), std::end(record), [](BYTE b) { return b == 0xA5; }),
                       "device record written with status 0x%02X", status);
            return status;
        }
        const bool matched = oracle.Match(link.Released(), [&](const CandidateFrame& f) {
            return f.payload.size() >= 16 && std::equal(record, record + 16, f.payload.begin());
        });
        FUZZ_CHECK(matched, "device info answered 'Z' without a sound 'Z' frame carrying it");
        return status;
    }

    int Command(BYTE code) {
        const int status = engine.SendCommand(code);
        if (status == STATUS_OK) {
            FUZZ_CHECK(oracle.Match(link.Released(), [](const CandidateFrame&) { return true; }),
                       "'%c' answered 'Z' without a sound 'Z' frame", code);
        }
        return status;
    }

    int Run(BYTE op) {
        switch (op % 9) {
            case 0:
                return Command('A');
            case 1:
                return Command('H');
            case 2:
                return DeviceInfo();
            case 3:
                return CycleData();
            case 4:
                return Text('c', CHSProtocolApp::CONTROLLER_SERIAL_UNITS);
            case 5:
                return Text('e', CHSProtocolApp::TOOL_SERIAL_UNITS);
            case 6:
                return Text('g', CHSProtocolApp::FIRMWARE_VERSION_UNITS);
            case 7:
                return Text('h', CHSProtocolApp::TOOL_MODEL_UNITS);
            default:
                return Command(op);  // any byte: accepted or refused
        }
    }
};

BYTE CodeOf(BYTE op) {
    static constexpr BYTE kCodes[8] = {'A', 'H', 'D', 'a', 'c', 'e', 'g', 'h'};
    return op % 9 == 8 ? op : kCodes[op % 9];
}

// What an input gave: every status in order and every byte written; compared between a kept and a fresh rig.
struct Outcome {
    std::vector<int> statuses;
    std::vector<BYTE> written;
    bool late = false;  // a hand-over gave up waiting: the outcome then depends on scheduling too
    bool operator==(const Outcome& o) const { return statuses == o.statuses && written == o.written; }
};

// Runs the input's exchanges on the rig and checks every per-exchange property.
Outcome RunScript(EngineRig& rig, const std::uint8_t* data, std::size_t size) {
    const bool repair = (data[0] & 1) != 0;
    ToolStreamLink& link = rig.Link();
    ReplyOracle oracle;
    Exchange exchange{rig.Engine(), link, oracle};
    Outcome outcome;

    std::size_t at = 1;
    for (int k = 0; k < kMaxExchanges && at < size; ++k) {
        const BYTE op = data[at++];
        std::size_t n = 0;
        if (at < size) {
            const std::size_t wanted = data[at++];
            n = std::min(wanted, size - at);
        }
        std::vector<BYTE> answer(data + at, data + at + n);
        at += n;
        if (repair) ReplyOracle::RepairChecksums(answer);
        link.SetNextAnswer(std::move(answer));

        const std::size_t writtenBefore = link.Written().size();
        const auto start = Clock::now();
        const int status = exchange.Run(op);
        const auto took = Clock::now() - start;
        link.SetNextAnswer({});
        outcome.statuses.push_back(status);

        FUZZ_CHECK(
            took <= std::chrono::milliseconds(kReplyTimeoutMs) + kMargin, "exchange %d took %lld ms", k,
            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        FUZZ_CHECK(IsReplyType(status), "status 0x%02X is not a reply type", status);
        const BYTE code = CodeOf(op);
        const std::vector<BYTE> written = link.Written();
        if (!IsAppCommand(code)) {
            FUZZ_CHECK(status == STATUS_REFUSED && written.size() == writtenBefore,
                       "refused code 0x%02X gave 0x%02X and wrote %zu bytes", code, status,
                       written.size() - writtenBefore);
            continue;
        }
        const std::vector<BYTE> expected = {SYNC_BYTE, code, 0x00, code};
        FUZZ_CHECK(written.size() == writtenBefore + 4 &&
                       std::equal(expected.begin(), expected.end(),
                                  written.begin() + static_cast<long>(writtenBefore)),
                   "request 0x%02X not written as 55 code 00 code", code);
    }
    outcome.written = link.Written();
    outcome.late = link.HandOverLate();
    return outcome;
}

std::unique_ptr<EngineRig> BuildRig(std::uint32_t maxChunk) {
    auto rig = std::make_unique<EngineRig>(maxChunk, kMargin);
    FUZZ_CHECK(rig->Ready(), "engine did not start or its receiver never read");
    return rig;
}

void TearDown(std::unique_ptr<EngineRig>& rig) {
    const auto start = Clock::now();
    rig.reset();
    FUZZ_CHECK(Clock::now() - start <= kMargin, "teardown took too long");
}

// QUARVEL_FUZZ_RESET_CHECK=1: every input also runs on a rig of its own, and both outcomes must agree
// unless a hand-over was late in either run. Proves that a kept rig behaves as a fresh one.
bool ResetCheck() {
    static const bool on = [] {
        const char* v = std::getenv("QUARVEL_FUZZ_RESET_CHECK");
        return v != nullptr && v[0] == '1';
    }();
    return on;
}

// How many inputs the reset check compared and skipped; printed when the process ends.
void CountCompared(bool compared) {
    static long counts[2] = {0, 0};
    static const bool registered = [] {
        return std::atexit([] {
                   std::fprintf(stderr, "reset check: %ld inputs compared, %ld skipped (a late hand-over)\n",
                                counts[1], counts[0]);
               }) == 0;
    }();
    (void)registered;
    ++counts[compared ? 1 : 0];
}

// The rig the previous input left clean, if it did.
std::unique_ptr<EngineRig> g_rig;

}  // namespace

// The engine's threads hand each exchange on to one another and never run side by side, so the target keeps
// them all on the processor it starts on: a wake-up then needs no other core, which halves the system time
// per exchange. Timer slack is cut to nothing, so that the engine's waits of 0 ms and the link's waits of
// some microseconds end when due instead of up to 50 us later. Threads inherit both from this one.
// An affinity already narrowed (taskset, parallel jobs) is kept.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    cpu_set_t allowed;
    const int cpu = sched_getcpu();
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 1 && cpu >= 0) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        sched_setaffinity(0, sizeof one, &one);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint32_t maxChunk = (data[0] >> 1) & 7;
    if (g_rig != nullptr) {
        g_rig->Rewind(maxChunk);
    } else {
        g_rig = BuildRig(maxChunk);
    }
    const Outcome kept = RunScript(*g_rig, data, size);
    if (!g_rig->SettleClean(kSettleBound)) TearDown(g_rig);

    if (ResetCheck()) {
        auto fresh = BuildRig(maxChunk);
        const Outcome alone = RunScript(*fresh, data, size);
        TearDown(fresh);
        FUZZ_CHECK(kept.late || alone.late || kept == alone,
                   "a kept rig answered otherwise than a fresh one");
        CountCompared(!kept.late && !alone.late);
    }
    return 0;
}
