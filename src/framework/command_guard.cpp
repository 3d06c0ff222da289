#include "framework/command_guard.h"

#include <exception>

#include "framework/framework_text.h"
#include "framework/message_box.h"
#include "ids/resource_ids.h"
#include "platform/files/file.h"

namespace {

// The same choice of text as CFileException::GetErrorMessage, for the English fallback.
UINT FileErrorStringId(int cause) {
    switch (cause) {
        case CFileException::fileNotFound:
            return IDS_FW_FILE_NOT_FOUND;
        case CFileException::badPath:
            return IDS_FW_FILE_BAD_PATH;
        case CFileException::accessDenied:
            return IDS_FW_FILE_ACCESS_DENIED;
        case CFileException::sharingViolation:
        case CFileException::lockViolation:
            return IDS_FW_FILE_SHARING;
        case CFileException::diskFull:
            return IDS_FW_FILE_DISK_FULL;
        default:
            return IDS_FW_FILE_GENERIC;
    }
}

}  // namespace

CString AfxFileExceptionText(const CFileException& error) {
    const CString text = error.GetErrorMessage();
    if (!text.empty()) return text;
    // A module without the file-error strings: the English text, so the box never comes up empty.
    return FormatFrameworkMessage(LoadFrameworkString(FileErrorStringId(error.m_cause)), error.m_strFileName);
}

void AfxRunGuarded(const std::function<void()>& handler) {
    // Exceptions must never cross Qt's event dispatch; this is the one place they stop.
    try {
        handler();
    } catch (const CFileException& error) {
        AfxMessageBox(AfxFileExceptionText(error), MB_OK | MB_ICONSTOP);
    } catch (const std::exception&) {
        AfxMessageBox(LoadFrameworkString(IDS_FW_GENERIC), MB_OK | MB_ICONSTOP);
    }
}
