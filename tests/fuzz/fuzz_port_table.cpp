// Fuzz target: QUARVEL_PORTS parsing ("1=/dev/pts/3,7=/dev/ttyUSB0").
// Properties: no crash; the table equals the one a plain reading of the documented rules gives: entries
// separated by commas, each "number=absolute path" with a number 1 to 256 written in decimal, anything
// else ignored, a later entry for the same number winning; nothing maps outside 1 to 256.
#include <array>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "platform/serial/port_table.h"

namespace {
std::array<std::string, 257> Reference(const std::string& text) {
    std::array<std::string, 257> table;
    std::stringstream entries(text);
    std::string entry;
    while (std::getline(entries, entry, ',')) {
        const std::size_t eq = entry.find('=');
        if (eq == std::string::npos || eq == 0 || eq > 3) continue;
        const std::string number = entry.substr(0, eq), path = entry.substr(eq + 1);
        if (number.find_first_not_of("0123456789") != std::string::npos) continue;
        const int port = std::stoi(number);
        if (port < 1 || port > 256 || path.size() < 2 || path[0] != '/') continue;
        table[static_cast<std::size_t>(port)] = path;
    }
    return table;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string entries(reinterpret_cast<const char*>(data), size);
    const PortTable table = PortTable::Parse(entries);
    const auto expected = Reference(entries);
    for (int port = 1; port <= 256; ++port) {
        FUZZ_CHECK(table.PathFor(port) == expected[static_cast<std::size_t>(port)], "COM%d maps to \"%s\"",
                   port, table.PathFor(port).c_str());
    }
    FUZZ_CHECK(table.PathFor(0).empty() && table.PathFor(257).empty() && table.PathFor(-1).empty(),
               "a number outside 1 to 256 is mapped");
    return 0;
}
