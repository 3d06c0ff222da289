// CWinApp on the Win32 backend. Posted messages go to a message-only window of the application (not to
// the main dialog, whose window may be gone by the time they arrive); on the UI thread it hands each one
// to the main window if that still exists, otherwise the message is dropped.
#include "framework/win_app.h"

#include <clocale>

#include "framework/win32_window.h"

namespace {
CWinApp* g_app = nullptr;
constexpr wchar_t kPostClass[] = L"QuarvelPostedMessages";
}  // namespace

class PostedMessageDispatcher {
public:
    explicit PostedMessageDispatcher(CWinApp& app) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kPostClass;
        ::RegisterClassExW(&wc);  // fails harmlessly when registered before
        m_window = ::CreateWindowExW(0, kPostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        if (m_window != nullptr) ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&app));
    }
    ~PostedMessageDispatcher() {
        if (m_window != nullptr) ::DestroyWindow(m_window);
    }
    PostedMessageDispatcher(const PostedMessageDispatcher&) = delete;
    PostedMessageDispatcher& operator=(const PostedMessageDispatcher&) = delete;

    void Post(UINT message, WPARAM wParam, LPARAM lParam) {
        if (m_window != nullptr) ::PostMessageW(m_window, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* app = reinterpret_cast<CWinApp*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (app != nullptr && message >= WM_USER) {
            app->Deliver(message, wParam, lParam);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
};

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
    if (m_pszAppName.empty()) {
        // The executable's file name without its extension ("quarvel" for quarvel.exe).
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        CString name = FromWide(path);
        if (auto slash = name.find_last_of(u"\\/"); slash != CString::npos) name.erase(0, slash + 1);
        if (auto dot = name.rfind(u'.'); dot != CString::npos && dot > 0) name.erase(dot);
        m_pszAppName = name;
    }
    if (!m_dispatcher) m_dispatcher = std::make_unique<PostedMessageDispatcher>(*this);
}

int CWinApp::Run(int, char**) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    std::setlocale(LC_NUMERIC, "C");
    UseQtApplication();
    // A program whose InitInstance returns TRUE keeps running while its main window exists.
    if (InitInstance() && m_pMainWnd != nullptr && m_pMainWnd->GetSafeHwnd() != nullptr) {
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    const int result = ExitInstance();
    SetMainWindow(nullptr);
    m_dispatcher.reset();
    return result;
}

void CWinApp::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
    // Called under the main-window lock of platform/main_window.cpp, which also guards the
    // dispatcher's lifetime: the dispatcher is removed only after SetMainWindow(nullptr).
    if (m_dispatcher) m_dispatcher->Post(message, wParam, lParam);
}
