#pragma once
// The error codes the file classes keep in a CFileException: that of the last failed call (errno; on
// Windows GetLastError's code) and that of a file that is not open. For the file classes' own files.
long LastFileError();
long BadHandleError();
