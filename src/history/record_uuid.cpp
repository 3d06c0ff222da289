#include "history/record_uuid.h"

#include <cstdio>
#include <mutex>
#include <random>

#include "history/history_read.h"
#include "platform/system/identity.h"

namespace {
std::mutex g_mutex;
std::int64_t g_lastMs = -1;
std::uint32_t g_counter = 0;  // the 12 bits after the time, counting up within one millisecond

std::mt19937_64& Random() {
    // Seeded from the system's entropy and the time, so that two laptops (or two processes started in
    // the same instant) draw different bits; again in a forked child, which would otherwise draw the very
    // numbers its parent and its siblings draw.
    static std::mt19937_64 engine;
    static long seededIn = 0;
    if (const long self = ProcessId(); self != seededIn) {
        std::random_device device;
        std::seed_seq seed{
            device(), device(), device(), device(),
            static_cast<unsigned>(std::chrono::high_resolution_clock::now().time_since_epoch().count())};
        engine.seed(seed);
        seededIn = self;
    }
    return engine;
}

std::string Format(std::uint64_t ms, std::uint32_t randA, std::uint64_t randB) {
    // randB: 62 bits; the variant's two bits "10" go in front of them.
    char text[40];
    std::snprintf(text, sizeof text, "%08llx-%04llx-7%03x-%04llx-%012llx",
                  static_cast<unsigned long long>((ms >> 16) & 0xffffffffULL),
                  static_cast<unsigned long long>(ms & 0xffff), randA & 0xfff,
                  static_cast<unsigned long long>(0x8000 | ((randB >> 48) & 0x3fff)),
                  static_cast<unsigned long long>(randB & 0xffffffffffffULL));
    return text;
}

}  // namespace

std::string NewRecordUuid(std::chrono::system_clock::time_point now) {
    std::int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    if (ms < 0) ms = 0;
    std::lock_guard lock(g_mutex);
    std::mt19937_64& random = Random();
    if (ms <= g_lastMs) {
        // The same millisecond, or a clock that went back: count on from the last id.
        ms = g_lastMs;
        if (++g_counter > 0xfff) {
            ++ms;
            g_counter = 0;
        }
    } else {
        g_counter = static_cast<std::uint32_t>(random() & 0x7ff);  // leaves room to count up
    }
    g_lastMs = ms;
    return Format(static_cast<std::uint64_t>(ms), g_counter, random());
}

std::string UuidForOldRecord(const std::string& at, std::int64_t localId) {
    const std::int64_t seconds = HistorySeconds(at);
    const std::uint64_t ms = seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds) * 1000;
    const auto id = static_cast<std::uint64_t>(localId);
    std::uint64_t randomBits;
    {
        std::lock_guard lock(g_mutex);
        randomBits = Random()();
    }
    // 12 bits of the local number after the time, 26 more at the head of the next 62, then 36 random.
    const std::uint32_t randA = static_cast<std::uint32_t>((id >> 26) & 0xfff);
    const std::uint64_t randB = ((id & 0x3ffffff) << 36) | (randomBits & 0xfffffffffULL);
    return Format(ms, randA, randB);
}

bool IsRecordUuid(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}
