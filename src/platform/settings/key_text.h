#pragma once
// Text values of the settings key as UTF-8, whatever the system keeps: the registry of Windows keeps texts as
// UTF-16, which its wide calls read and write exactly (the ANSI calls would pass a name such as "Желязко"
// through the machine's code page and lose it); the key file elsewhere keeps the bytes themselves. For the
// texts a person types (a server's connection string, a technician's name). Any thread; the key is open.
#include <string>

#include "platform/settings/key_store.h"

// The value's text up to its first NUL; ERROR_FILE_NOT_FOUND when the key has no such value.
LONG RegQueryTextUtf8(HKEY key, const char* name, std::string& text);
// Stores `text` (UTF-8) as a text value.
LONG RegSetTextUtf8(HKEY key, const char* name, const std::string& text);
