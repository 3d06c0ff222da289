// Fuzz target: the text form of the settings key (a damaged or hand-edited file).
// Properties: no crash or hang; at most one value per line and never more bytes of names and data than the
// file holds; names are unique; what was read is written back and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/key_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<KeyValue> values = ParseKeyFile(text);

    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    FUZZ_CHECK(values.size() <= lines, "%zu values from %zu lines", values.size(), lines);
    std::size_t bytes = 0;
    std::set<std::string> names;
    for (const KeyValue& v : values) {
        bytes += v.name.size() + v.data.size();
        FUZZ_CHECK(names.insert(v.name).second, "value name read twice");
        // A REG_SZ without its NUL ("1:NAME=TEXT") is a state the registry allows too; readers cut at the NUL.
    }
    FUZZ_CHECK(bytes <= size, "%zu bytes of values from %zu bytes", bytes, size);

    const std::vector<KeyValue> again = ParseKeyFile(SerializeKeyFile(values));
    FUZZ_CHECK(again.size() == values.size(), "write-back lost values: %zu of %zu", again.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        FUZZ_CHECK(again[i].name == values[i].name && again[i].type == values[i].type &&
                       again[i].data == values[i].data,
                   "value %zu changed on write-back", i);
    }
    return 0;
}
