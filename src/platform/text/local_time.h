#pragma once
// The current local time as text, for names people read (report files named after the moment of a read).
// Any thread.
#include <ctime>
#include <string>

// The local time now, formatted by strftime's `format`; empty when the time cannot be had.
std::string LocalTimeText(const char* format);
// The same for the moment `unixSeconds` (seconds since 1970, UTC).
std::string LocalTimeTextAt(long long unixSeconds, const char* format);

// The calendar time of `when` in the local time zone (local_time_posix.cpp, local_time_win.cpp).
bool LocalCalendarTime(std::time_t when, std::tm* local);
