#pragma once
// What a soak test watches in its own process: resident memory and open file descriptors (Linux: from
// /proc/self). Any thread may call these.
#include <cstddef>

// Resident set size in bytes; 0 when it cannot be read.
std::size_t ResidentBytes();
// Entries of /proc/self/fd, not counting the one the listing itself holds open.
int CountOpenDescriptors();
