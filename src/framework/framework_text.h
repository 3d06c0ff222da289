#pragma once
// The framework's own texts (data-exchange and file-error messages, the window menu's own items). They
// come from the current resource module like every other text; a module that lacks one still gets a
// readable English text instead of an empty one. UI thread (reads the current module).
#include "platform/win_types.h"

CString LoadFrameworkString(UINT id);

// `text` with every "%1" replaced by arg1 and every "%2" by arg2; other '%' sequences stay.
CString FormatFrameworkMessage(const CString& text, const CString& arg1, const CString& arg2 = CString());
