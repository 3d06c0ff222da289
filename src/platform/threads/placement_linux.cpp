#include <pthread.h>
#include <sched.h>

#include "platform/threads/placement_os.h"

int CurrentProcessorOfThread() { return sched_getcpu(); }

bool PlaceCurrentThread(int processor) {
    if (processor >= CPU_SETSIZE) return false;
    cpu_set_t before;
    if (pthread_getaffinity_np(pthread_self(), sizeof before, &before) != 0) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(processor, &set);
    if (pthread_setaffinity_np(pthread_self(), sizeof set, &set) != 0) return false;
    // Now on that processor (the call moved it there); the scheduler keeps a thread where it ran while that
    // processor is free, so the former affinity goes back at once: a busy processor never holds it.
    sched_yield();
    pthread_setaffinity_np(pthread_self(), sizeof before, &before);
    return true;
}
