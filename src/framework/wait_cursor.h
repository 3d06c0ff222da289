#pragma once
// The hourglass while a command works: BeginWaitCursor / EndWaitCursor pairs nest. UI thread only.
void BeginWaitCursor();
void EndWaitCursor();
// Whether the wait cursor is shown now (a pair is open).
bool AfxIsWaitCursorShown();

// Shows the wait cursor for its lifetime.
class CWaitCursor {
public:
    CWaitCursor() { BeginWaitCursor(); }
    ~CWaitCursor() { EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
