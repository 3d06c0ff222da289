#include "cli_console.h"

#include <cerrno>
#include <system_error>

#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"

bool CCliConsole::Out(const std::string& text) {
    if (OutputFailed()) return false;  // a stream that failed once has lost what came before
    errno = 0;
    m_out << text << std::flush;
    if (m_out) return true;
    const int cause = errno;
    m_outError = cause != 0 ? std::generic_category().message(cause) : "write error";
    return false;
}

void CCliConsole::Message(UINT stringId) { ErrLine(Utf16ToUtf8(LoadStringW(stringId))); }
