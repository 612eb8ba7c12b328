// Profile files and file replacement on Windows.
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/platform.h"

namespace platform {
namespace {
// The callers report the C run-time error number, so the system's reason is
// carried over into errno.
int ErrnoFromSystem(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return EEXIST;
        default:
            return EIO;
    }
}
}  // namespace

uint32_t ReadPrivateProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                                  uint32_t size, const char* file) {
    return GetPrivateProfileStringA(section, key, defaultText, buffer, size, file);
}

bool WriteProfileValue(const char* section, const char* key, const char* value, const char* file) {
    return WritePrivateProfileStringA(section, key, value, file) != 0;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool FlushToDisk(std::FILE* file) {
    const intptr_t handle = _get_osfhandle(_fileno(file));
    if (handle == -1) {
        errno = EBADF;
        return false;
    }
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) return true;
    errno = ErrnoFromSystem(GetLastError());
    return false;
}

bool ReplaceFileWith(const std::string& replacement, const std::string& target) {
    // Write-through: the call returns only once the move is on the disk. It
    // does not flush the moved file's data; FlushToDisk did that before.
    if (MoveFileExA(replacement.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = ErrnoFromSystem(GetLastError());
    return false;
}

}  // namespace platform
