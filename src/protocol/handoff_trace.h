#pragma once
// Hand-off marks for the exchange breakdown (bench/bench_handoffs.cpp). A build that defines
// QUARVEL_HANDOFF_TRACE calls HandoffMark at each hand-off of a slot; the product build compiles every mark
// to nothing, so its hot path carries no trace code at all.
class CBuffer;

enum class HandoffEvent {
    Filled,  // the producer has copied the message in and is about to wake the consumer
    Woken,   // the producer's wake-up call has returned
    Taken,   // the consumer's wait has returned with the message
};

#ifdef QUARVEL_HANDOFF_TRACE
void HandoffMark(const CBuffer* slot, HandoffEvent event);  // defined by the tracing bench
#define QUARVEL_HANDOFF_MARK(slot, event) HandoffMark(slot, event)
#else
#define QUARVEL_HANDOFF_MARK(slot, event) ((void)0)
#endif
