#pragma once
// The application's main window as worker threads see it: a place to post messages to.
// Posting and asking are safe from any thread and against the window going away at the same
// moment: once SetMainWindow has replaced a window, no post reaches it any more.
#include "platform/win_types.h"

class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // Queues the message for the window's own thread; must not block and must not call back
    // into this header's functions.
    virtual void PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// Installs (or, with nullptr, removes) the main window. Returns after any post that was
// being delivered to the previous window has finished.
void SetMainWindow(IMainWindow* window);
bool HasMainWindow();
// Posts to the main window; false (and nothing happens) when there is none.
bool PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam);
