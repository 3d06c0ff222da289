#pragma once
// The current local time as text, for names people read (report files named after the moment of a read).
// Any thread.
#include <string>

// The local time now, formatted by strftime's `format`; empty when the time cannot be had.
std::string LocalTimeText(const char* format);
