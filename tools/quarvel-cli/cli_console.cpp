#include "cli_console.h"

#include "platform/resource_module.h"
#include "platform/utf8.h"

void CCliConsole::Message(UINT stringId) { ErrLine(Utf16ToUtf8(LoadStringW(stringId))); }
