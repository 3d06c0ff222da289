#include "framework/framework_text.h"

#include "platform/resource_ids.h"
#include "platform/resource_module.h"

namespace {

const char16_t* EnglishDefault(UINT id) {
    switch (id) {
        case IDS_FW_PARSE_INT: return u"Please enter an integer.";
        case IDS_FW_PARSE_INT_RANGE: return u"Enter an integer between %1 and %2.";
        case IDS_FW_PARSE_REAL: return u"Please enter a number.";
        case IDS_FW_GENERIC: return u"An unexpected error occurred.";
        case IDS_FW_FILE_GENERIC: return u"An unknown error occurred while accessing %1.";
        case IDS_FW_FILE_NOT_FOUND: return u"%1 was not found.";
        case IDS_FW_FILE_BAD_PATH: return u"%1 contains an invalid path.";
        case IDS_FW_FILE_ACCESS_DENIED: return u"Access to %1 was denied.";
        case IDS_FW_FILE_SHARING: return u"A sharing violation occurred while accessing %1.";
        case IDS_FW_FILE_DISK_FULL: return u"Disk full while accessing %1.";
        case IDS_FW_MENU_MINIMIZE: return u"Mi&nimize";
        case IDS_FW_MENU_CLOSE: return u"&Close\tAlt+F4";
        case IDS_FW_MENU_BUTTON_TIP: return u"Window menu (Alt+Space)";
        default: return u"";
    }
}

}  // namespace

CString LoadFrameworkString(UINT id) {
    CString text = LoadStringW(id);
    if (text.empty()) text = EnglishDefault(id);
    return text;
}

CString FormatFrameworkMessage(const CString& text, const CString& arg1, const CString& arg2) {
    return AfxFormatString2(text, arg1, arg2);
}
