#pragma once
// Detached worker threads, the stand-in for AfxBeginThread. Any thread may start one.
#include <functional>

#include "platform/win_types.h"

using AFX_THREADPROC = UINT (*)(void* param);

// Starts `proc(param)` on a new detached thread. Returns false, never throws, when the
// platform (or a test's start gate) refuses the thread.
bool AfxBeginThread(AFX_THREADPROC proc, void* param);

// Test seam: when set, each start asks the gate first and is refused when it returns false.
// Pass an empty function to remove the gate. Not for production code.
void SetThreadStartGate(std::function<bool()> gate);
