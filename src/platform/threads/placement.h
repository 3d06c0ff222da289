#pragma once
// Starting a group of threads on one processor. An exchange of the protocol hands off three times between
// the caller, the engine thread and the receive thread; on one processor each hand-off is a plain switch,
// across processors an inter-processor wake-up that costs more than the switch. But a thread held on a
// processor that other work keeps busy waits for it (measured: twice as slow), so the placement is soft:
// each thread starts on the group's processor and stays there by the scheduler's own preference while it is
// free, and is moved when it is not (Linux: the affinity set, one yield, the former affinity given back;
// Windows: the ideal processor).
#include <functional>

// The processor the calling thread runs on now, for a group of threads about to start: -1 when the
// system cannot tell, or when placement is off (QUARVEL_NO_AFFINITY=1, for comparison and for users who
// want the system to decide).
int ProcessorForThreadGroup();

class CThreadGroupPlacement {
public:
    // The group's processor: ProcessorForThreadGroup() of the constructing thread.
    CThreadGroupPlacement();
    int Processor() const { return m_processor; }
    // A thread of the group, as its first act: moved to the group's processor (the system may refuse;
    // nothing changes then). Nothing when the group has no processor.
    void Join() const;

private:
    const int m_processor;
};

// Test seam: called on the joining thread with each placement (the processor, whether the system granted
// it). Empty removes it.
using ThreadPlacementObserver = std::function<void(int processor, bool granted)>;
void SetThreadPlacementObserver(ThreadPlacementObserver observer);
