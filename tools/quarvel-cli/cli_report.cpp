#include "cli_report.h"

#include <filesystem>
#include <system_error>

#include "cli_exit.h"
#include "ids/resource_ids.h"
#include "platform/files/file.h"
#include "platform/resources/resource_module.h"
#include "platform/text/local_time.h"
#include "platform/text/utf8.h"
#include "report/report_file.h"
#include "report/report_format.h"

std::string OpenFailureText(const std::string& path, const CFileException& error) {
    std::string why;
    std::error_code ec;
    switch (std::filesystem::status(path, ec).type()) {
        case std::filesystem::file_type::directory:
            why = "it is a folder";
            break;
        case std::filesystem::file_type::fifo:
            why = "it is a FIFO (a named pipe), not a file";
            break;
        case std::filesystem::file_type::socket:
            why = "it is a socket, not a file";
            break;
        case std::filesystem::file_type::character:
            why = "it is a terminal or a device, not a file";
            break;
        default:
            if (error.m_lOsError != 0)
                why = std::system_category().message(static_cast<int>(error.m_lOsError));
    }
    const std::string message = Utf16ToUtf8(error.GetErrorMessage());
    return why.empty() ? message : message + " (" + why + ")";
}

int SaveCliReport(const std::string& path, const ToolRecord& record, CCliConsole& console) {
    CString widePath;
    if (!Utf8ToUtf16(path, widePath)) {
        console.Error("the report file name is not valid UTF-8: " + path);
        return kExitSessionFailed;
    }
    try {
        CFileException openError;
        if (SaveReportToPath(widePath, FileExtension(widePath), record, &openError) ==
            ReportOutcome::OpenFailed) {
            // The design's message, then which file and why, in the same language.
            console.ErrLine(Utf16ToUtf8(LoadStringW(IDS_OUTPUT_NOT_OPENED)) + " " +
                            OpenFailureText(path, openError));
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
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
        part += plain ? c : '_';
    }
    if (part.empty() || part[0] == '.') part = "unknown" + part;
    return part;
}
}  // namespace

bool PrepareReportDir(const std::string& dir, CCliConsole& console) {
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) {
        std::filesystem::create_directories(dir, error);
        if (error || !std::filesystem::is_directory(dir)) {
            console.Error("the report folder " + dir +
                          " cannot be made: " + (error ? error.message() : std::string("not a folder")));
            return false;
        }
    }
    // Writing is what matters, whatever the permission bits say (a read-only mount, root's rights).
    CString probe;
    Utf8ToUtf16(dir + "/.quarvel-write-check", probe);
    CFile file;
    CFileException openError;
    if (!file.Open(probe, CFile::modeCreate | CFile::modeWrite, &openError)) {
        console.Error("the report folder " + dir +
                      " cannot be written: " + OpenFailureText(Utf16ToUtf8(probe), openError));
        return false;
    }
    file.Abort();
    CFile::Remove(probe);
    return true;
}

int SaveCliReportInDir(const std::string& dir, const ToolRecord& record, CCliConsole& console) {
    const std::string stem = dir + "/" + FileNamePart(Utf16ToUtf8(TextOf(record.ToolSerial))) + "_" +
                             LocalTimeText("%Y%m%d-%H%M%S");
    std::string path = stem + ".txt";
    std::error_code error;
    for (int n = 2; std::filesystem::exists(path, error); ++n) path = stem + "-" + std::to_string(n) + ".txt";
    return SaveCliReport(path, record, console);
}
