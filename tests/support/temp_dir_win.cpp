// TempDir on Windows: a new folder under the user's temporary folder, named by the process and a counter.
#include "support/temp_dir.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {
std::string MakeTempFolder(const char* stem) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = std::string(stem) + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(counter.fetch_add(1)) + "-" + std::to_string(GetTickCount());
        const std::filesystem::path path = base / name;
        if (CreateDirectoryW(path.wstring().c_str(), nullptr)) return path.string();
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("no temporary folder");
}
}  // namespace

TempDir::TempDir() : m_path(MakeTempFolder("quarvel-test-")) {}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
