// The wait cursor on the Win32 backend: the system's hourglass while the outermost pair lasts.
#include "framework/wait_cursor.h"

#include "framework/afx_defs.h"
#include "framework/win32_window.h"

namespace {
int g_depth = 0;
HCURSOR g_previous = nullptr;
}  // namespace

void BeginWaitCursor() {
    if (g_depth++ == 0) g_previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void EndWaitCursor() {
    if (g_depth == 0) return;
    if (--g_depth == 0) ::SetCursor(g_previous != nullptr ? g_previous : ::LoadCursorW(nullptr, IDC_ARROW));
}

bool AfxIsWaitCursorShown() { return g_depth > 0; }
