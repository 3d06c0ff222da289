#pragma once
// Writes an exported view (the CSV, or the CLI's text and json) to a file, replacing it. Caller's
// thread. False when the file cannot be opened (`openError` says why); a failed write or close raises
// CFileException with the file already closed.
#include <string>

#include "platform/files/file.h"

bool WriteHistoryExport(const CString& path, const std::string& bytes, CFileException* openError);
