// What CWinApp does alike on both backends: the default start and end steps, the main window as the
// target of posted messages (or a window a message is routed to), and their delivery on the UI thread.
#include "framework/win_app.h"

#include "framework/wnd.h"

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::MainWindowCreated(CWnd* window) {
    if (window != m_pMainWnd) return;
    UseQtApplication();
    SetMainWindow(this);
}

void CWinApp::MainWindowDestroyed(CWnd* window) {
    if (window == m_pMainWnd) SetMainWindow(nullptr);
}

void CWinApp::RouteMessage(UINT message, CWnd* window) {
    if (window != nullptr) {
        m_routes[message] = window;
    } else {
        m_routes.erase(message);
    }
}

void CWinApp::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto route = m_routes.find(message);
    CWnd* target = route != m_routes.end() ? route->second : m_pMainWnd;
    // The window may have gone between the post and now: then the message is dropped.
    if (target != nullptr && target->GetSafeHwnd() != nullptr) target->SendMessage(message, wParam, lParam);
}

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->Run(argc, argv) : 1;
}
