#pragma once
// The CLI's two output streams. Standard output is written by the main thread only; standard error also
// takes trace lines from the protocol's threads, so every write to it goes through one lock. A write to
// standard output that fails (a full disk, a closed pipe, no output at all) is remembered with its reason,
// so the command can end and say that its output was lost instead of reporting success.
#include <mutex>
#include <ostream>
#include <string>

#include "platform/win_types.h"

class CCliConsole {
public:
    CCliConsole(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // Writes and flushes; false when the text could not all be written (then OutputFailed()).
    bool Out(const std::string& text);
    bool OutputFailed() const { return !m_outError.empty(); }
    // Why standard output failed ("No space left on device"); empty while it has not.
    const std::string& OutputError() const { return m_outError; }
    // One line on standard error, prefixed with the program's name.
    void Error(const std::string& text) { ErrLine("quarvel-cli: " + text); }
    // A message of the string table on standard error, in the current language, as UTF-8.
    void Message(UINT stringId);
    void ErrLine(const std::string& line) {
        std::lock_guard lock(m_errMutex);
        m_err << line << '\n' << std::flush;
    }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::mutex m_errMutex;
    std::string m_outError;
};
