#pragma once
// UTF-8 <-> UTF-16 conversion for resource files and settings text. Pure functions, any thread.
#include <string>
#include <string_view>

#include "platform/win_types.h"

// Strict decoding: false (and `out` unspecified) for any ill-formed sequence, overlong form,
// encoded surrogate or code point above U+10FFFF.
bool Utf8ToUtf16(std::string_view in, CString& out);

// `in` with each byte that starts no well-formed character, and each NUL, replaced by U+FFFD: text that a
// strict reader (a database server) always takes.
std::string ValidUtf8(std::string_view in);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD so the result is always valid.
std::string Utf16ToUtf8(std::u16string_view in);
