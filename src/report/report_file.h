#pragma once
// The report written into a file: the two layouts through CUTF16File::WriteText, and the Save step that
// the GUI's Save and quarvel-cli's --report share. Called on one thread at a time (the UI thread, or
// the CLI's main thread); the file object is local to each call.
#include "platform/win_types.h"
#include "record/tool_record.h"

class CUTF16File;
class CFileException;

// Twelve WriteText calls each; a failed write raises CFileException out of them.
void WriteTextReport(CUTF16File& file, const ToolRecord& record);
void WriteCsvReport(CUTF16File& file, const ToolRecord& record);

// The extension of a path's file name as the Save-As dialog reports it: what follows the last '.' of the
// last path component, without the dot; empty when there is none.
CString FileExtension(const CString& path);

enum class ReportOutcome {
    Written,     // the file holds the whole report
    OpenFailed,  // the file could not be created or opened; the caller shows string 110
};

// Creates (or truncates) `path` and writes the report: the text layout when `extension` is exactly
// "txt" (letter case matters), the comma-separated layout for any other. A write failure leaves as a
// CFileException with its cause and the file's path; the file is closed on every way out and, since a
// part of a report would pass for a whole one, deleted.
// `openError`, when given, receives why the file could not be opened.
ReportOutcome SaveReportToPath(const CString& path, const CString& extension, const ToolRecord& record,
                               CFileException* openError = nullptr);
