#include "record/tool_quantities.h"

#include <cmath>
#include <cstdint>

namespace {
// Double to the low 32 bits of its 64-bit truncation. Going through int64 keeps every value a
// 32-bit count can produce (at most about 4.7e9) defined, where a direct cast to uint32 would not be.
DWORD Low32OfTruncation(double value) {
    return static_cast<DWORD>(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
}
}  // namespace

double StopPositionMm(DWORD positionCounts) {
    double mm = static_cast<double>(positionCounts);
    mm *= kCountsToMm;
    mm *= 0.25;
    return mm;
}

double DisplayStopPositionMm(DWORD positionCounts) {
    const double hundredths = std::floor(StopPositionMm(positionCounts) * 100.0 + 0.5);
    return static_cast<double>(Low32OfTruncation(hundredths)) / 100.0;
}

double ReportStopPositionMm(DWORD positionCounts) {
    double p = static_cast<double>(positionCounts);
    p *= kCountsToMm;
    p *= 0.25;
    p += 0.005;
    p *= 100.0;
    return static_cast<double>(Low32OfTruncation(p)) / 100.0;
}

double ForceKn(DWORD forceReading, DWORD forceFactor, DWORD forceDivisor) {
    if (forceDivisor == 0) return 0.0;
    const DWORD product = forceReading * forceFactor;  // unsigned: wraps modulo 2^32
    return static_cast<double>(product / forceDivisor) / 1000.0;
}

UINT ResultStringId(DWORD cycleFlags) {
    switch (cycleFlags & 3u) {
        case 0:
            return IDS_RESULT_SUCCESS;
        case 1:
            return IDS_RESULT_BREAKUP;
        case 2:
            return IDS_RESULT_BARRIER;
        default:
            return IDS_RESULT_WORKING_RANGE;
    }
}

UINT DirectionStringId(DWORD cycleFlags) {
    return (cycleFlags & 4u) != 0 ? IDS_DIRECTION_FORWARD : IDS_DIRECTION_BACKWARD;
}
