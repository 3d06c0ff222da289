// CWinApp on the Win32 backend. Posted messages go to a message-only window of the application (not to
// the main dialog, whose window may be gone by the time they arrive); on the UI thread it hands each one
// to the main window if that still exists, otherwise the message is dropped.
#include "framework/win_app.h"

#include "framework/posted_message_dispatcher.h"
#include "framework/win32_window.h"

namespace {
constexpr wchar_t kPostClass[] = L"QuarvelPostedMessages";

class WinPostedMessageDispatcher : public PostedMessageDispatcher {
public:
    explicit WinPostedMessageDispatcher(CWinApp& app) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = kPostClass;
        ::RegisterClassExW(&wc);  // fails harmlessly when registered before
        m_window = ::CreateWindowExW(0, kPostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                     nullptr);
        if (m_window != nullptr)
            ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&app));
    }
    ~WinPostedMessageDispatcher() override {
        if (m_window != nullptr) ::DestroyWindow(m_window);
    }
    WinPostedMessageDispatcher(const WinPostedMessageDispatcher&) = delete;
    WinPostedMessageDispatcher& operator=(const WinPostedMessageDispatcher&) = delete;

    void Post(UINT message, WPARAM wParam, LPARAM lParam) override {
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
}  // namespace

std::unique_ptr<PostedMessageDispatcher> MakePostedMessageDispatcher(CWinApp& app) {
    return std::make_unique<WinPostedMessageDispatcher>(app);
}

CString CWinApp::ExecutableName() {
    // The executable's file name without its extension ("quarvel" for quarvel.exe).
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    CString name = FromWide(path);
    if (auto slash = name.find_last_of(u"\\/"); slash != CString::npos) name.erase(0, slash + 1);
    if (auto dot = name.rfind(u'.'); dot != CString::npos && dot > 0) name.erase(dot);
    return name;
}

int CWinApp::Run(int, char**) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    return RunInstance();
}

void CWinApp::RunMessageLoop() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}
