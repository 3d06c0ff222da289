// What a POSIX error number means for a file operation.
#include <cerrno>

#include "platform/files/file.h"
#include "platform/files/file_os_error.h"

int CFileException::OsErrorToCause(long osError) {
    switch (osError) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return badPath;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return accessDenied;
        case EBADF:
            return invalidFile;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        case EWOULDBLOCK:
            return sharingViolation;
        case EIO:
            return hardIO;
        case ESPIPE:
            return badSeek;
        default:
            return genericException;
    }
}

long LastFileError() { return errno; }
long BadHandleError() { return EBADF; }
