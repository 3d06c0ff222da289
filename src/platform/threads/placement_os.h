#pragma once
// The system's own calls behind placement.h (placement_linux.cpp, placement_win.cpp). Any thread.

// The processor the calling thread runs on now; -1 when the system cannot tell.
int CurrentProcessorOfThread();
// Starts the calling thread off on `processor` without holding it there (see placement.h); false when
// refused (nothing changed).
bool PlaceCurrentThread(int processor);
