// What CWinApp does alike on both backends: the default start and end steps, the main window as the
// target of posted messages, and their delivery to it on the UI thread.
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

void CWinApp::Deliver(UINT message, WPARAM wParam, LPARAM lParam) {
    // The window may have gone between the post and now: then the message is dropped.
    if (m_pMainWnd != nullptr && m_pMainWnd->GetSafeHwnd() != nullptr) {
        m_pMainWnd->SendMessage(message, wParam, lParam);
    }
}

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->Run(argc, argv) : 1;
}
