#pragma once
// RunWithin: runs a call that must not hang (a teardown, a blocking exchange) on a helper thread and
// waits for it with a deadline. On time-out the test process aborts with a message, so a regression
// fails instead of hanging the suite. Returns the call's duration in milliseconds. Test thread only.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

#include "platform/win_types.h"

template <class F>
long long RunWithin(DWORD deadlineMs, F&& call, const char* what = "call") {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        call();
        done.set_value();
    });
    if (finished.wait_for(std::chrono::milliseconds(deadlineMs)) != std::future_status::ready) {
        std::fprintf(stderr, "%s did not return within %u ms\n", what, static_cast<unsigned>(deadlineMs));
        std::abort();
    }
    worker.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}
