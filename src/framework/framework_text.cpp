#include "framework/framework_text.h"

#include "platform/resources/resource_module.h"

CString LoadFrameworkString(UINT id) { return LoadStringW(id); }

CString FormatFrameworkMessage(const CString& text, const CString& arg1, const CString& arg2) {
    return AfxFormatString2(text, arg1, arg2);
}
