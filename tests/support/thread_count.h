#pragma once
// Counts the threads of this process (Linux: the entries of /proc/self/task; Windows: a Toolhelp
// snapshot), so that tests can check that a component left no thread behind. Any thread may call it.
#include "platform/win_types.h"

int CountThreads();
// The count to compare against later: first starts and joins one thread, so that helper threads a
// sanitizer runtime creates on the first thread start are already counted.
int BaselineThreadCount();
// Waits (1 ms steps, at most timeoutMs) until the process has at most `count` threads.
bool WaitForThreadCountAtMost(int count, DWORD timeoutMs);
