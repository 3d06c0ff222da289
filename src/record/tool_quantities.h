#pragma once
// The quantities derived from ToolRecord that the main dialog and the report share, with the
// dialog's and the report's own roundings of the stop position. Pure functions; any thread.
#include "ids/resource_ids.h"
#include "record/tool_record.h"

// Millimetres per count of the stop-position reading, before the quarter scale.
inline constexpr double kCountsToMm = 0.04343629343629343;

// PositionCounts x 0.04343629343629343 x 0.25, multiplied in that order.
double StopPositionMm(DWORD positionCounts);
// The dialog's display: floor(mm x 100 + 0.5) / 100, the floor taken as an unsigned 32-bit value.
double DisplayStopPositionMm(DWORD positionCounts);
// The report's rounding: ((counts x k x 0.25) + 0.005) x 100, truncated, low 32 bits, / 100.
double ReportStopPositionMm(DWORD positionCounts);

// ((reading x factor) mod 2^32 / divisor) / 1000 in kN; 0 when the divisor is 0.
double ForceKn(DWORD forceReading, DWORD forceFactor, DWORD forceDivisor);
inline double ForceKn(const ToolRecord& r) { return ForceKn(r.ForceReading, r.ForceFactor, r.ForceDivisor); }

// String ids (platform/resource_ids.h) of the result text, by CycleFlags & 3: 120, 121, 122, 135;
// and of the direction text, by CycleFlags & 4: 124 set, 125 clear.
UINT ResultStringId(DWORD cycleFlags);
UINT DirectionStringId(DWORD cycleFlags);
