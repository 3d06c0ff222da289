#pragma once
// The ids of records that travel between laptops and the team's server: version-7 UUIDs (RFC 9562), whose
// first 48 bits are the time they were made in milliseconds. As lower-case text they sort in time order,
// and the ids one process makes sort in the order it made them, even within one millisecond, so the
// views order a tool's reads by id on every laptop alike. Any thread.
#include <chrono>
#include <cstdint>
#include <string>

// A new id made at `now`. Never the same twice in a process; across machines by 74 random bits.
std::string NewRecordUuid(std::chrono::system_clock::time_point now);

// The id a record kept before ids existed gets: the time of `at` (a history time, to the second), the
// row's local number in the bits after it, so the old order is kept, then random bits.
std::string UuidForOldRecord(const std::string& at, std::int64_t localId);

// 8-4-4-4-12 hex digits, lower case.
bool IsRecordUuid(const std::string& text);
