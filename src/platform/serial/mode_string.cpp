#include "platform/serial/mode_string.h"

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t kMaxBaud = 4000000;

std::string Lowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

bool ParseUnsigned(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 9) return false;
    std::uint32_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<std::uint32_t>(c - '0');
    }
    value = result;
    return true;
}

bool ParseBaud(std::string_view text, std::uint32_t& baud) {
    std::uint32_t value = 0;
    if (!ParseUnsigned(text, value)) return false;
    switch (value) {  // the old MODE abbreviations
        case 11:
            value = 110;
            break;
        case 15:
            value = 150;
            break;
        case 30:
            value = 300;
            break;
        case 60:
            value = 600;
            break;
        case 12:
            value = 1200;
            break;
        case 24:
            value = 2400;
            break;
        case 48:
            value = 4800;
            break;
        case 96:
            value = 9600;
            break;
        case 19:
            value = 19200;
            break;
        default:
            break;
    }
    if (value == 0 || value > kMaxBaud) return false;
    baud = value;
    return true;
}

bool ParseParity(std::string_view text, char& parity) {
    if (text.size() != 1) return false;
    switch (text[0]) {
        case 'n':
            parity = 'N';
            return true;
        case 'e':
            parity = 'E';
            return true;
        case 'o':
            parity = 'O';
            return true;
        case 'm':
            parity = 'M';
            return true;
        case 's':
            parity = 'S';
            return true;
        default:
            return false;
    }
}

bool ParseDataBits(std::string_view text, std::uint8_t& bits) {
    std::uint32_t value = 0;
    if (!ParseUnsigned(text, value) || value < 5 || value > 8) return false;
    bits = static_cast<std::uint8_t>(value);
    return true;
}

bool ParseStopBits(std::string_view text, StopBits& stop) {
    if (text == "1")
        stop = StopBits::One;
    else if (text == "1.5")
        stop = StopBits::OnePointFive;
    else if (text == "2")
        stop = StopBits::Two;
    else
        return false;
    return true;
}

bool IsOnOff(std::string_view v) { return v == "on" || v == "off"; }

// Keys that BuildCommDCB knows but that this port deliberately does not act on.
bool IsIgnoredKey(std::string_view key, std::string_view value) {
    if (key == "xon" || key == "to" || key == "odsr" || key == "octs" || key == "idsr") return IsOnOff(value);
    if (key == "dtr") return IsOnOff(value) || value == "hs";
    if (key == "rts") return IsOnOff(value) || value == "hs" || value == "tg";
    return false;
}

std::vector<std::string_view> Split(std::string_view text, bool (*isSeparator)(char)) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isSeparator(text[i])) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool ParseKeyValueForm(std::string_view text, LineSettings& line) {
    bool any = false;
    for (std::string_view token :
         Split(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; })) {
        if (token.empty()) continue;
        const std::size_t eq = token.find('=');
        if (eq == std::string_view::npos) return false;
        const std::string_view key = token.substr(0, eq);
        const std::string_view value = token.substr(eq + 1);
        bool ok = false;
        if (key == "baud")
            ok = ParseBaud(value, line.nBaud);
        else if (key == "parity")
            ok = ParseParity(value, line.cParity);
        else if (key == "data")
            ok = ParseDataBits(value, line.nDataBits);
        else if (key == "stop")
            ok = ParseStopBits(value, line.eStopBits);
        else
            ok = IsIgnoredKey(key, value);
        if (!ok) return false;
        any = true;
    }
    return any;
}

bool ParseShortForm(std::string_view text, LineSettings& line) {
    const auto parts = Split(text, [](char c) { return c == ','; });
    if (parts.size() > 4) return false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string_view part = Trim(parts[i]);
        if (part.empty()) {
            if (i == 0) return false;  // the speed is the one field the short form always names
            continue;
        }
        bool ok = false;
        switch (i) {
            case 0:
                ok = ParseBaud(part, line.nBaud);
                break;
            case 1:
                ok = ParseParity(part, line.cParity);
                break;
            case 2:
                ok = ParseDataBits(part, line.nDataBits);
                break;
            default:
                ok = ParseStopBits(part, line.eStopBits);
                break;
        }
        if (!ok) return false;
    }
    return true;
}

// Drops a leading "comN:" device prefix.
std::string_view SkipDevicePrefix(std::string_view text) {
    if (text.substr(0, 3) != "com") return text;
    std::size_t i = 3;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i > 3 && i < text.size() && text[i] == ':') return Trim(text.substr(i + 1));
    return text;
}

}  // namespace

bool ParseModeString(const char* mode, LineSettings& line) {
    if (mode == nullptr) return false;
    const std::string lower = Lowercase(mode);
    const std::string_view text = SkipDevicePrefix(Trim(lower));
    if (text.empty()) return false;
    LineSettings parsed = line;
    const bool ok = text.find('=') != std::string_view::npos ? ParseKeyValueForm(text, parsed)
                                                             : ParseShortForm(text, parsed);
    if (!ok) return false;
    line = parsed;
    return true;
}
