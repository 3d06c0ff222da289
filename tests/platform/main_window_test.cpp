// Posting to the main window from worker threads, safe against the window going away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/threads/main_window.h"

namespace {
// Yields until the condition holds; false after five seconds, so a regression fails instead of hanging.
template <class Pred>
bool Eventually(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

class CountingWindow : public IMainWindow {
public:
    void PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (removed.load()) touchedAfterRemoval = true;
        last = message + wParam + static_cast<UINT>(lParam);
        ++posts;
    }
    std::atomic<bool> removed{false};
    std::atomic<bool> touchedAfterRemoval{false};
    std::atomic<int> posts{0};
    std::atomic<UINT> last{0};
};

TEST(MainWindowPost, DeliversToTheInstalledWindowAndDropsWithoutOne) {
    SetMainWindow(nullptr);
    EXPECT_FALSE(HasMainWindow());
    EXPECT_FALSE(PostToMainWindow(0x801, 0, 0));
    CountingWindow window;
    SetMainWindow(&window);
    EXPECT_TRUE(HasMainWindow());
    EXPECT_TRUE(PostToMainWindow(0x801, 2, 3));
    EXPECT_EQ(window.posts.load(), 1);
    EXPECT_EQ(window.last.load(), 0x806u);
    SetMainWindow(nullptr);
    EXPECT_FALSE(PostToMainWindow(0x801, 0, 0));
    EXPECT_EQ(window.posts.load(), 1);
}

TEST(MainWindowPost, WindowRemovedWhileWorkersPostIsNeverTouchedAgain) {
    for (int round = 0; round < 50; ++round) {
        auto window = std::make_unique<CountingWindow>();
        SetMainWindow(window.get());
        std::atomic<bool> stop{false};
        std::atomic<int> dropped{0};
        std::thread posters[2];
        for (auto& poster : posters) {
            poster = std::thread([&] {
                while (!stop.load()) {
                    if (!PostToMainWindow(0x801, 0, 0)) ++dropped;
                    std::this_thread::yield();
                }
            });
        }
        const bool delivered = Eventually([&] { return window->posts.load() >= 10; });
        SetMainWindow(nullptr);
        window->removed = true;  // from here on no post may reach it
        const bool touched = window->touchedAfterRemoval.load();
        window.reset();  // and it may be freed at once (AddressSanitizer watches)
        const bool droppedAfterwards = Eventually([&] { return dropped.load() >= 10; });
        stop = true;
        for (auto& poster : posters) poster.join();
        ASSERT_TRUE(delivered);
        ASSERT_TRUE(droppedAfterwards);
        ASSERT_FALSE(touched);
    }
}
}  // namespace
