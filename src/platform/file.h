#pragma once
// Provisional: the file exception of the file classes (the complete header comes with the file
// classes). Thrown by value, caught by const reference; any thread.
#include <utility>

#include "platform/win_types.h"

class CFileException {
public:
    enum Cause {
        none, genericException, fileNotFound, badPath, tooManyOpenFiles, accessDenied, invalidFile,
        removeCurrentDir, directoryFull, badSeek, hardIO, sharingViolation, lockViolation, diskFull, endOfFile
    };
    CFileException(int cause = none, long osError = -1, CString fileName = CString())
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    int m_cause;
    long m_lOsError;
    CString m_strFileName;
};
