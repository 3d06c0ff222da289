#include "support/temp_config_home.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

TempConfigHome::TempConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarvel-home-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    m_path = buffer.data();
    if (const char* previous = std::getenv("XDG_CONFIG_HOME")) {
        m_hadPrevious = true;
        m_previous = previous;
    }
    setenv("XDG_CONFIG_HOME", m_path.c_str(), 1);
    // The service history is per-user state: it goes below the same folder, never into the real home.
    if (const char* previous = std::getenv("XDG_STATE_HOME")) {
        m_hadPreviousState = true;
        m_previousState = previous;
    }
    setenv("XDG_STATE_HOME", (m_path + "/state").c_str(), 1);
}

TempConfigHome::~TempConfigHome() {
    if (m_hadPrevious)
        setenv("XDG_CONFIG_HOME", m_previous.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (m_hadPreviousState)
        setenv("XDG_STATE_HOME", m_previousState.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
