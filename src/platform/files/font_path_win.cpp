#include "platform/files/font_path.h"

#include <windows.h>

#include <cstdlib>

std::string FontFilePath(const std::string& fileName) {
    if (const char* folder = std::getenv("QUARVEL_FONT_DIR"); folder != nullptr && *folder != '\0')
        return std::string(folder) + "\\" + fileName;
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    if (const auto slash = folder.find_last_of("\\/"); slash != std::string::npos) folder.resize(slash);
    return folder + "\\fonts\\" + fileName;
}
