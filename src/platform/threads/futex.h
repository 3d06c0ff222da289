#pragma once
// The operating system's wait-on-a-word primitive, for the synchronisation objects of sync.h: a thread sleeps
// only while a 32-bit word still holds the value it last saw, and a waker wakes the sleepers of that word.
// Process-private; any thread may call these.
#include <atomic>
#include <cstdint>

#include "platform/win_types.h"

using FutexWord = std::atomic<std::uint32_t>;

// Sleeps while `word` holds `expected`, at most timeoutMs (INFINITE: no limit). Returns at once when the word
// differs; may also return early for no reason, so callers look at the word again.
void FutexWait(FutexWord& word, std::uint32_t expected, DWORD timeoutMs);
// Wakes up to `count` threads sleeping on `word`.
void FutexWake(FutexWord& word, int count);
