// AfxMessageBox on the Win32 backend: MessageBoxW, owned by the active window of the program, which it
// disables while it runs its own message loop (posted messages keep being handled).
#include "framework/message_box.h"

#include <algorithm>
#include <vector>

#include "framework/message_box_request.h"
#include "framework/win32_window.h"

namespace {
// The boxes open now, the innermost last. MessageBoxW hands out no window: a CBT hook on this thread
// catches the box's window as the system activates it.
// The hook lives only until it has caught the box, so a box opened inside another's loop hooks afresh.
std::vector<HWND> g_open;
HHOOK g_hook = nullptr;

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
    const HHOOK hook = g_hook;
    if (code == HCBT_ACTIVATE && hook != nullptr) {
        g_open.push_back(reinterpret_cast<HWND>(wParam));
        ::UnhookWindowsHookEx(hook);
        g_hook = nullptr;
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}
}  // namespace

void AfxCloseMessageBoxes(int result) {
    const std::vector<HWND> open = g_open;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (::IsWindow(*it)) ::EndDialog(*it, result);
    }
}

int AfxMessageBox(const CString& text, UINT nType) {
    const MessageBoxRequest request = MessageBoxRequestFor(text, nType);
    // The test seam answers without a box: the system's box has no loop of its own to run it from.
    if (MessageBoxAnswerer answerer = CurrentMessageBoxAnswerer()) return answerer(request);
    HWND owner = ::GetActiveWindow();
    const std::size_t depth = g_open.size();
    g_hook = ::SetWindowsHookExW(WH_CBT, &CatchBox, nullptr, ::GetCurrentThreadId());
    const int result =
        ::MessageBoxW(owner, Wide(text), Wide(request.caption), request.type | MB_SETFOREGROUND);
    if (g_hook != nullptr) ::UnhookWindowsHookEx(g_hook);  // the box never became active
    g_hook = nullptr;
    g_open.resize(std::min(g_open.size(), depth));
    return result;
}
