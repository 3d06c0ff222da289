#include "report/report_file.h"

#include "report/report_layouts.h"
#include "report/utf16_file.h"

void WriteTextReport(CUTF16File& file, const ToolRecord& record) {
    ComposeTextReport(record, [&](const char16_t* piece) { file.WriteText(piece); });
}

void WriteCsvReport(CUTF16File& file, const ToolRecord& record) {
    ComposeCsvReport(record, [&](const char16_t* piece) { file.WriteText(piece); });
}

CString FileExtension(const CString& path) {
    const std::size_t slash = path.find_last_of(u'/');
    const std::size_t nameStart = slash == CString::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of(u'.');
    if (dot == CString::npos || dot < nameStart) return CString();
    return path.substr(dot + 1);
}

ReportOutcome SaveReportToPath(const CString& path, const CString& extension, const ToolRecord& record,
                               CFileException* openError) {
    CUTF16File file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite, openError)) {
        file.Close();  // nothing is open: does nothing
        return ReportOutcome::OpenFailed;
    }
    try {
        if (extension == u"txt") {
            WriteTextReport(file, record);
        } else {
            WriteCsvReport(file, record);
        }
        file.Close();
    } catch (const CFileException&) {
        // Half a report looks like a whole one: the file this call created or emptied goes.
        file.Abort();
        CFile::Remove(file.GetFilePath());
        throw;
    }
    return ReportOutcome::Written;
}
