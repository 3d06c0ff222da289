#pragma once
// How a backend queues a message posted from any thread for the UI thread, where it goes to
// CWinApp::Deliver: a Qt event queued to an object of the application (Qt), or a posted message to a
// message-only window of the application (Win32). The application object owns it; Post may be called
// from any thread while it exists.
#include <memory>

#include "platform/win_types.h"

class CWinApp;

class PostedMessageDispatcher {
public:
    virtual ~PostedMessageDispatcher() = default;
    virtual void Post(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// The backend's dispatcher for `app` (posted_message_qt.cpp, win_app_win.cpp).
std::unique_ptr<PostedMessageDispatcher> MakePostedMessageDispatcher(CWinApp& app);
