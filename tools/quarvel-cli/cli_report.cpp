#include "cli_report.h"

#include <sys/stat.h>

#include <ctime>

#include "cli_exit.h"
#include "platform/file.h"
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

std::string LocalTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}
}  // namespace

int SaveCliReportInDir(const std::string& dir, const ToolRecord& record, CCliConsole& console) {
    const std::string stem = dir + "/" + FileNamePart(Utf16ToUtf8(TextOf(record.ToolSerial))) + "_" + LocalTimeStamp();
    std::string path = stem + ".txt";
    struct stat st {};
    for (int n = 2; ::stat(path.c_str(), &st) == 0; ++n) path = stem + "-" + std::to_string(n) + ".txt";
    return SaveCliReport(path, record, console);
}
