#include "support/source_path.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string SourcePath(const std::string& relative) {
    const char* dir = std::getenv("QUARVEL_SOURCE_DIR");
    return std::string(dir && *dir ? dir : QUARVEL_TEST_SOURCE_DIR) + "/" + relative;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
