#include "cli_report.h"

#include <filesystem>
#include <system_error>

#include "cli_exit.h"
#include "platform/file.h"
#include "platform/local_time.h"
#include "platform/resource_ids.h"
#include "platform/utf8.h"
#include "report/report_file.h"
#include "report/report_format.h"

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

namespace {
std::string FileNamePart(const std::string& serial) {
    std::string part;
    for (const char c : serial) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
                           c == '.' || static_cast<unsigned char>(c) >= 0x80;
        part += plain ? c : '_';
    }
    if (part.empty() || part[0] == '.') part = "unknown" + part;
    return part;
}
}  // namespace

int SaveCliReportInDir(const std::string& dir, const ToolRecord& record, CCliConsole& console) {
    const std::string stem =
        dir + "/" + FileNamePart(Utf16ToUtf8(TextOf(record.ToolSerial))) + "_" + LocalTimeText("%Y%m%d-%H%M%S");
    std::string path = stem + ".txt";
    std::error_code error;
    for (int n = 2; std::filesystem::exists(path, error); ++n) path = stem + "-" + std::to_string(n) + ".txt";
    return SaveCliReport(path, record, console);
}
