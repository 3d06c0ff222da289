#pragma once
// A fresh temporary directory set as XDG_CONFIG_HOME (and its "state" folder as XDG_STATE_HOME) for
// the lifetime of the object, so tests of the per-user key and the history never touch the real home.
// One per test, on the test's thread.
#include <string>

class TempConfigHome {
public:
    TempConfigHome();
    ~TempConfigHome();
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
    std::string m_previousState;
    bool m_hadPreviousState = false;
};
