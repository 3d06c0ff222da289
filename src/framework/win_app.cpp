// What CWinApp does alike on both backends: the one application object, the run around the backend's
// message loop, the default start and end steps, the main window as the target of posted messages (or a
// window a message is routed to), and their delivery on the UI thread. The backends give the application
// object of their toolkit, the loop, the executable's name and the dispatcher (win_app_qt.cpp,
// win_app_win.cpp).
#include "framework/win_app.h"

#include <clocale>

#include "framework/posted_message_dispatcher.h"
#include "framework/wnd.h"

namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp(const char16_t* appName) {
    if (appName != nullptr) m_pszAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp() {
    SetMainWindow(nullptr);
    m_dispatcher.reset();
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

void CWinApp::UseQtApplication() {
    if (m_pszAppName.empty()) m_pszAppName = ExecutableName();
    if (!m_dispatcher) m_dispatcher = MakePostedMessageDispatcher(*this);
}

int CWinApp::RunInstance() {
    // Numbers in dialogs and reports are always written with '.', whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    UseQtApplication();
    // A program whose InitInstance returns TRUE keeps running only while its main window exists.
    if (InitInstance() && m_pMainWnd != nullptr && m_pMainWnd->GetSafeHwnd() != nullptr) RunMessageLoop();
    const int result = ExitInstance();
    SetMainWindow(nullptr);
    m_dispatcher.reset();  // before the toolkit's application goes
    return result;
}

void CWinApp::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
    // Called under the main-window lock of platform/threads/main_window.cpp, which also guards the
    // dispatcher's lifetime: the dispatcher is removed only after SetMainWindow(nullptr).
    if (m_dispatcher) m_dispatcher->Post(message, wParam, lParam);
}

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
