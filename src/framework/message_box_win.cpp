// AfxMessageBox on the Win32 backend: MessageBoxW, owned by the active window of the program, which it
// disables while it runs its own message loop (posted messages keep being handled).
#include "framework/message_box.h"

#include "framework/win_app.h"
#include "platform/resource_module.h"
#include "framework/win32_window.h"

namespace {

MessageBoxAnswerer& Answerer() {
    static MessageBoxAnswerer answerer;
    return answerer;
}

UINT WithDefaultIcon(UINT type) {
    if ((type & MB_ICONMASK) != 0) return type;
    const UINT buttons = type & MB_TYPEMASK;
    return type | (buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? MB_ICONQUESTION : MB_ICONEXCLAMATION);
}

}  // namespace

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer) { Answerer() = std::move(answerer); }

int AfxMessageBox(const CString& text, UINT nType) {
    const UINT type = WithDefaultIcon(nType);
    CWinApp* app = AfxGetApp();
    const CString caption = app != nullptr ? app->m_pszAppName : CString();
    // The test seam answers without a box: the system's box has no loop of its own to run it from.
    if (Answerer()) return Answerer()(MessageBoxRequest{caption, text, type});
    HWND owner = ::GetActiveWindow();
    return ::MessageBoxW(owner, Wide(text), Wide(caption), type | MB_SETFOREGROUND);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType) { return AfxMessageBox(LoadStringW(nIDPrompt), nType); }
