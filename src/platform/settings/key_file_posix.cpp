#include "platform/settings/key_file.h"

#include <charconv>

namespace {
const char kHex[] = "0123456789ABCDEF";

void Escape(std::string_view in, std::string& out) {
    for (unsigned char c : in) {
        if (c < 0x20 || c == 0x7F || c == '=' || c == '\\') {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads escapes back: \xHH and \\ are the byte they stand for, any other '\' is itself. Control bytes
// make the line unsound; so does '=' where it is not allowed (in a name).
bool Unescape(std::string_view in, bool equalsAllowed, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c < 0x20 || c == 0x7F || (c == '=' && !equalsAllowed)) return false;
        if (c != '\\') {
            out += static_cast<char>(c);
        } else if (i + 1 < in.size() && in[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < in.size() && in[i + 1] == 'x' && HexDigit(in[i + 2]) >= 0 &&
                   HexDigit(in[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(in[i + 2]) * 16 + HexDigit(in[i + 3]));
            i += 3;
        } else {
            out += '\\';
        }
    }
    return true;
}

bool ParseLine(std::string_view line, KeyValue& value) {
    if (line.empty() || line[0] == '#') return false;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view type = line.substr(0, colon);
    const std::string_view rest = line.substr(colon + 1);
    const auto equals = rest.find('=');
    if (equals == std::string_view::npos) return false;
    if (!Unescape(rest.substr(0, equals), false, value.name) ||
        !Unescape(rest.substr(equals + 1), true, value.data))
        return false;
    if (type == "sz") {
        value.type = 1;
        value.data.push_back('\0');
        return true;
    }
    if (type.empty() || type.size() > 10) return false;
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(type.data(), type.data() + type.size(), number);
    if (ec != std::errc() || end != type.data() + type.size() || number > 0xFFFFFFFFu) return false;
    value.type = static_cast<DWORD>(number);
    return true;
}

std::string ValueLine(const KeyValue& v) {
    std::string out;
    std::string_view data = v.data;
    if (v.type == 1 && !data.empty() && data.back() == '\0') {
        out += "sz:";
        data.remove_suffix(1);
    } else {
        out += std::to_string(v.type);
        out += ':';
    }
    Escape(v.name, out);
    out += '=';
    Escape(data, out);
    return out;
}
}  // namespace

std::vector<KeyFileLine> ParseKeyFileLines(std::string_view text) {
    std::vector<KeyFileLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();  // a last line without its LF
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);  // CR LF (and CR CR LF) end lines too
        KeyFileLine entry{std::string(line), false, {}};
        if (ParseLine(line, entry.value)) {
            bool seen = false;
            for (const KeyFileLine& l : lines) seen = seen || (l.bValue && l.value.name == entry.value.name);
            entry.bValue = !seen;
        }
        if (!entry.bValue) entry.value = {};
        lines.push_back(std::move(entry));
    }
    return lines;
}

std::string SerializeKeyFileLines(const std::vector<KeyFileLine>& lines) {
    std::string out;
    for (const KeyFileLine& line : lines) {
        out += line.text;
        out += '\n';
    }
    return out;
}

void SetKeyFileValue(std::vector<KeyFileLine>& lines, const KeyValue& value) {
    for (KeyFileLine& line : lines) {
        if (line.bValue && line.value.name == value.name) {
            line = {ValueLine(value), true, value};
            return;
        }
    }
    lines.push_back({ValueLine(value), true, value});
}

std::vector<KeyValue> KeyFileValues(const std::vector<KeyFileLine>& lines) {
    std::vector<KeyValue> values;
    for (const KeyFileLine& line : lines) {
        if (line.bValue) values.push_back(line.value);
    }
    return values;
}

std::vector<KeyValue> ParseKeyFile(std::string_view text) { return KeyFileValues(ParseKeyFileLines(text)); }

std::string SerializeKeyFile(const std::vector<KeyValue>& values) {
    std::string out = "# Quarvel settings key: one value per line, TYPE:NAME=DATA (sz = text with its NUL)\n";
    for (const KeyValue& v : values) out += ValueLine(v) + '\n';
    return out;
}

bool KeyRelativePath(std::string_view subKey, std::string* path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto end = subKey.find('\\', start);
        const std::string_view part = subKey.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty()) return false;
        std::string mapped;
        for (std::size_t i = 0; i < part.size(); ++i) {
            auto c = static_cast<unsigned char>(part[i]);
            if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                (c == '.' && i > 0)) {
                mapped += static_cast<char>(c);
            } else {
                mapped += '%';
                mapped += kHex[c >> 4];
                mapped += kHex[c & 15];
            }
        }
        parts.push_back(std::move(mapped));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (parts.size() > 1 && parts.front() == "software") parts.erase(parts.begin());
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    *path = out + ".reg";
    return true;
}
