#pragma once
// UTF-16 to UTF-8 for the CLI's standard output. Pure; any thread.
#include <string>

#include "platform/win_types.h"

// Converts UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(const CString& text);
