#include "app/settings/settings_store.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"
#include "platform/settings/key_store.h"
#include "platform/settings/key_text.h"
#include "platform/system/identity.h"

namespace {
std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// One open handle on the settings key, closed when it goes out of scope.
class SettingsKey {
public:
    SettingsKey() { m_error = RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &m_key); }
    ~SettingsKey() {
        if (m_key) RegCloseKey(m_key);
    }
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    LONG Error() const { return m_error; }
    HKEY Handle() const { return m_key; }

    // The text of the first value named `name`, enumerating from index 0 until the store reports an
    // error; the text ends at the data's first NUL. False when no such value was reached.
    bool FindText(const std::string& name, DWORD maxNameLen, DWORD maxDataLen, std::string& text) const {
        std::vector<char> nameBuffer(maxNameLen + 1);
        std::vector<BYTE> data(maxDataLen + 1);
        for (DWORD index = 0;; ++index) {
            DWORD nameLen = static_cast<DWORD>(nameBuffer.size());
            DWORD dataLen = static_cast<DWORD>(data.size());
            DWORD type = 0;
            if (RegEnumValueA(m_key, index, nameBuffer.data(), &nameLen, nullptr, &type, data.data(),
                              &dataLen) != ERROR_SUCCESS)
                return false;
            if (std::string(nameBuffer.data(), nameLen) != name) continue;
            const auto* bytes = reinterpret_cast<const char*>(data.data());
            text.assign(bytes, dataLen);
            text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
            return true;
        }
    }

    LONG SetText(const char* name, const std::string& text) const {
        return RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }

private:
    HKEY m_key = nullptr;
    LONG m_error;
};
}  // namespace

int ReadSettingsNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

void LoadLanguage(CQuarvelAppCore& app) {
    std::string fileName;
    bool haveFile = false;
    {
        SettingsKey key;
        if (key.Error() != ERROR_SUCCESS) return;
        DWORD values = 0, maxNameLen = 0, maxDataLen = 0;
        if (RegQueryInfoKeyA(key.Handle(), &values, &maxNameLen, &maxDataLen) != ERROR_SUCCESS || values == 0)
            return;
        std::string stored;
        if (!key.FindText("Language", maxNameLen, maxDataLen, stored)) return;
        app.Language = ReadSettingsNumber(stored.c_str());
        if (app.Language != 0) haveFile = key.FindText("Language" + stored, maxNameLen, maxDataLen, fileName);
    }
    if (app.Language == 0 || !haveFile) return;
    std::shared_ptr<const CResourceModule> pack =
        CResourceModule::LoadFile(fileName, nullptr, QuarvelResourceRequirements());
    if (pack) AfxSetResourceHandle(std::move(pack));
}

int SaveLanguage(int index) {
    if (index < 0 || index > 3) return ERROR_INVALID_DATA;
    SettingsKey key;
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    return key.SetText("Language", std::to_string(index));
}

void LoadPortSettings(CQuarvelAppCore& app, int& portNumber) {
    SettingsKey key;
    if (key.Error() != ERROR_SUCCESS) return;
    DWORD maxNameLen = 0, maxDataLen = 0;
    if (RegQueryInfoKeyA(key.Handle(), nullptr, &maxNameLen, &maxDataLen) != ERROR_SUCCESS) return;
    std::string text;
    if (key.FindText("COM", maxNameLen, maxDataLen, text) && text.size() > 3) {
        const int port = ReadSettingsNumber(text.c_str() + 3);
        if (port >= 1 && port <= 256) portNumber = port;
    }
    if (key.FindText("SPEED", maxNameLen, maxDataLen, text)) {
        const int speed = ReadSettingsNumber(text.c_str());
        if (speed >= 0 && speed <= 9) app.SpeedIndex = speed;
    }
}

void LoadHistorySettings(CQuarvelAppCore& app) {
    SettingsKey key;
    if (key.Error() != ERROR_SUCCESS) return;
    DWORD maxNameLen = 0, maxDataLen = 0;
    if (RegQueryInfoKeyA(key.Handle(), nullptr, &maxNameLen, &maxDataLen) != ERROR_SUCCESS) return;
    std::string text;
    if (key.FindText("History", maxNameLen, maxDataLen, text))
        app.KeepHistory = ReadSettingsNumber(text.c_str()) != 0;
    if (key.FindText("ServiceInterval", maxNameLen, maxDataLen, text)) {
        app.ServiceInterval = std::max(0, ReadSettingsNumber(text.c_str()));
    }
    if (key.FindText("ServiceIntervalDays", maxNameLen, maxDataLen, text))
        app.ServiceIntervalDays = std::max(0, ReadSettingsNumber(text.c_str()));
    if (key.FindText("ServiceDueSoonPercent", maxNameLen, maxDataLen, text)) {
        const int percent = ReadSettingsNumber(text.c_str());
        if (percent >= 1 && percent <= 100) app.ServiceDueSoonPercent = percent;
    }
    // Typed by a person, in any script: read as UTF-8 (on Windows through the registry's wide calls).
    if (RegQueryTextUtf8(key.Handle(), "HistoryServer", text) == ERROR_SUCCESS)
        app.HistoryServer = Trimmed(text);
    if (RegQueryTextUtf8(key.Handle(), "Technician", text) == ERROR_SUCCESS) app.Technician = Trimmed(text);
    if (RegQueryTextUtf8(key.Handle(), "CertificateHeader", text) == ERROR_SUCCESS) {
        app.CertificateHeader.clear();
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool lineBreak = text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n';
            app.CertificateHeader += lineBreak ? '\n' : text[i];
            i += lineBreak ? 1 : 0;
        }
        app.CertificateHeader = Trimmed(app.CertificateHeader);
    }
}

int SaveTeamSettings(const std::string& server, const std::string& technician) {
    for (const std::string* text : {&server, &technician})
        for (unsigned char c : *text)
            if (c < 0x20 || c == 0x7F) return ERROR_INVALID_DATA;
    SettingsKey key;
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    const LONG result = RegSetTextUtf8(key.Handle(), "HistoryServer", Trimmed(server));
    if (result != ERROR_SUCCESS) return result;
    return RegSetTextUtf8(key.Handle(), "Technician", Trimmed(technician));
}

std::string TechnicianName(const CQuarvelAppCore& app) {
    return app.Technician.empty() ? AccountDisplayName() : app.Technician;
}

int SavePortSettings(int portNumber, CQuarvelAppCore& app) {
    if (portNumber < 1 || portNumber > 256) return ERROR_INVALID_DATA;
    SettingsKey key;
    if (key.Error() != ERROR_SUCCESS) return key.Error();
    const LONG result = key.SetText("COM", "COM" + std::to_string(portNumber));
    if (result != ERROR_SUCCESS) return result;
    return key.SetText("SPEED", std::to_string(app.SpeedIndex));
}
