#include "cli_report.h"

#include "cli_exit.h"
#include "platform/file.h"
#include "platform/resource_ids.h"
#include "platform/utf8.h"
#include "report/report_file.h"

int SaveCliReport(const std::string& path, const ToolRecord& record, CCliConsole& console) {
    CString widePath;
    if (!Utf8ToUtf16(path, widePath)) {
        console.Error("the report file name is not valid UTF-8: " + path);
        return kExitSessionFailed;
    }
    try {
        if (SaveReportToPath(widePath, FileExtension(widePath), record) == ReportOutcome::OpenFailed) {
            console.Message(IDS_OUTPUT_NOT_OPENED);
            return kExitSessionFailed;
        }
    } catch (const CFileException& e) {
        console.ErrLine(Utf16ToUtf8(e.GetErrorMessage()));
        return kExitSessionFailed;
    }
    return kExitOk;
}
