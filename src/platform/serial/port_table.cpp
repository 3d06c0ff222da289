#include "platform/serial/port_table.h"

#include <string_view>

namespace {

bool ParsePortNumber(std::string_view text, int& port) {
    if (text.empty() || text.size() > 3) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < PortTable::kFirstPort || value > PortTable::kLastPort) return false;
    port = value;
    return true;
}

}  // namespace

PortTable PortTable::Parse(const std::string& entries) {
    PortTable table;
    std::string_view rest(entries);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view entry = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) continue;
        int port = 0;
        const std::string_view path = entry.substr(eq + 1);
        if (!ParsePortNumber(entry.substr(0, eq), port) || path.size() < 2 || path.front() != '/') continue;
        table.m_paths[port] = std::string(path);
    }
    return table;
}

const std::string& PortTable::PathFor(int port) const {
    if (port < kFirstPort || port > kLastPort) return m_paths[0];
    return m_paths[port];
}
