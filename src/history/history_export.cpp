#include "history/history_export.h"

bool WriteHistoryExport(const CString& path, const std::string& bytes, CFileException* openError) {
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, openError))
        return false;
    try {
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        file.Close();
    } catch (const CFileException&) {
        // A part of an export would pass for the whole view: the file goes.
        file.Abort();
        CFile::Remove(file.GetFilePath());
        throw;
    }
    return true;
}
