#include "platform/files/font_path.h"

#include <cstdlib>

std::string FontFilePath(const std::string& fileName) {
    const char* folder = std::getenv("QUARVEL_FONT_DIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/usr/share/fonts/truetype/dejavu") +
           "/" + fileName;
}
