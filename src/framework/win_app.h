#pragma once
// CWinApp: the one application object. Built before main (a global of the program) and reached as
// AfxGetApp(); Run executes the program on the thread that calls it, which becomes the UI thread.
// It is also the main-window target of platform/main_window.h: PostMessageW may be called from any
// thread and queues the message for the main window's thread; everything else is UI thread only.
#include <map>
#include <memory>

#include "framework/icon.h"
#include "framework/wnd.h"
#include "platform/threads/main_window.h"
#include "platform/win_types.h"

class PostedMessageDispatcher;

class CWinApp : public IMainWindow {
public:
    // With a null or empty name the application's name becomes the executable's file name without
    // its extension once Run (or UseQtApplication) knows the command line.
    explicit CWinApp(const char16_t* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program: creates the Qt application, calls InitInstance and, when it returns FALSE
    // (the program ran as a modal main dialog), returns 0. With TRUE the Qt event loop runs until
    // it is asked to quit. ExitInstance's result is returned then.
    int Run(int argc, char** argv);
    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // For tests and tools that create their own QApplication: takes the name and prepares the
    // posted-message delivery without running anything.
    void UseQtApplication();

    // Queues a message for the main window (IMainWindow). A message that finds no main window
    // when it is delivered is dropped.
    void PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Icon `id` of the current resource module (see AfxLoadIcon); null when it has none.
    HICON LoadIcon(int id) const { return AfxLoadIcon(id); }

    // Posted messages with this id go to `window` instead of the main window while its window exists (a
    // dialog that waits for a worker's result); null ends the routing. The window must end its route
    // before it is destroyed. UI thread.
    void RouteMessage(UINT message, CWnd* window);

    // Called by the framework when the main window's window appears and goes away.
    void MainWindowCreated(CWnd* window);
    void MainWindowDestroyed(CWnd* window);

    CWnd* m_pMainWnd = nullptr;  // the application's main window (the main dialog)
    CString m_pszAppName;        // the name used as every message box's caption

    // Hands a posted message to its window on the UI thread (the dispatchers call it).
    void Deliver(UINT message, WPARAM wParam, LPARAM lParam);

private:
    // After the backend made its toolkit's application object: the run itself, alike on both backends.
    int RunInstance();
    // The backend's own: its message loop, and the executable's file name without its extension.
    void RunMessageLoop();
    static CString ExecutableName();

    std::unique_ptr<PostedMessageDispatcher> m_dispatcher;
    std::map<UINT, CWnd*> m_routes;  // UI thread
};

// The application object, or null before it exists.
CWinApp* AfxGetApp();

// The program's entry: runs the application object (see CWinApp::Run).
int AfxWinMain(int argc, char** argv);
