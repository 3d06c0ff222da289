// TempConfigHome on Windows: the settings live in the registry of the test's Wine prefix (or Windows
// user), so the object removes the program's key before and after the test, and gives a temporary folder
// for the files a test writes beside it (language packs). Its "state" folder stands in for
// %LOCALAPPDATA%, where the history goes.
#include "support/temp_config_home.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "app/settings/settings_store.h"

namespace {
void RemoveSettingsKey() { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey); }
}  // namespace

TempConfigHome::TempConfigHome() {
    RemoveSettingsKey();
    std::error_code ec;
    const auto base =
        std::filesystem::temp_directory_path(ec) /
        ("quarvel-home-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()));
    std::filesystem::create_directories(base, ec);
    m_path = base.string();
    if (const char* previous = std::getenv("LOCALAPPDATA")) {
        m_previousState = previous;
        m_hadPreviousState = true;
    }
    _putenv_s("LOCALAPPDATA", (m_path + "\\state").c_str());
}

TempConfigHome::~TempConfigHome() {
    _putenv_s("LOCALAPPDATA", m_hadPreviousState ? m_previousState.c_str() : "");
    RemoveSettingsKey();
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}
