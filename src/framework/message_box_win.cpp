// AfxMessageBox on the Win32 backend: MessageBoxW, owned by the active window of the program, which it
// disables while it runs its own message loop (posted messages keep being handled).
#include "framework/message_box.h"

#include "framework/message_box_request.h"
#include "framework/win32_window.h"

int AfxMessageBox(const CString& text, UINT nType) {
    const MessageBoxRequest request = MessageBoxRequestFor(text, nType);
    // The test seam answers without a box: the system's box has no loop of its own to run it from.
    if (MessageBoxAnswerer answerer = CurrentMessageBoxAnswerer()) return answerer(request);
    HWND owner = ::GetActiveWindow();
    return ::MessageBoxW(owner, Wide(text), Wide(request.caption), request.type | MB_SETFOREGROUND);
}
