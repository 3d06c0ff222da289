#pragma once
// AfxMessageBox: the framework's modal message box. UI thread only. The box runs a nested event loop,
// so messages posted to the main window keep being handled while it is open.
#include <functional>

#include "framework/afx_defs.h"
#include "platform/win_types.h"

// Shows the string with this id from the current resource module. MB_OK and MB_OKCANCEL boxes without
// an icon of their own get the exclamation icon, MB_YESNO and MB_YESNOCANCEL boxes the question icon.
// The caption is the application's name. Returns IDOK, IDCANCEL, IDYES or IDNO.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
int AfxMessageBox(const CString& text, UINT nType = MB_OK);

// Closes every message box that is open now, the innermost first, each returning `result` to its caller:
// for a question whose answer no longer applies (the link it asks about is gone). UI thread.
void AfxCloseMessageBoxes(int result);

// Test seam: when set, every box is still opened, and the answerer is called from inside the box's
// own event loop with what the box shows; the box then closes with the answerer's result.
struct MessageBoxRequest {
    CString caption;
    CString text;
    UINT type = MB_OK;  // the type as shown, icon included
};
using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
