// Fuzz target: the text form of the settings key (a damaged or hand-edited file).
// Properties: no crash or hang; at most one value per line and never more bytes of names and data than the
// file holds; names are unique; what was read is written back and read again unchanged; a write of one value
// keeps every other line exactly as it was.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/settings/key_file.h"

namespace {
bool SameLines(const std::vector<KeyFileLine>& a, const std::vector<KeyFileLine>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].text != b[i].text || a[i].bValue != b[i].bValue) return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<KeyFileLine> lines = ParseKeyFileLines(text);
    const std::vector<KeyValue> values = KeyFileValues(lines);

    std::size_t ends = 0;
    for (char c : text) ends += c == '\n';
    if (!text.empty() && text.back() != '\n') ++ends;  // a last line without its LF
    FUZZ_CHECK(lines.size() == ends, "%zu lines from %zu line ends", lines.size(), ends);
    std::size_t bytes = 0;
    std::set<std::string> names;
    for (const KeyValue& v : values) {
        bytes += v.name.size() + v.data.size();
        FUZZ_CHECK(names.insert(v.name).second, "value name read twice");
        // A REG_SZ without its NUL ("1:NAME=TEXT") is a state the registry allows too; readers cut at the
        // NUL.
    }
    FUZZ_CHECK(bytes <= size, "%zu bytes of values from %zu bytes", bytes, size);

    const std::vector<KeyValue> again = ParseKeyFile(SerializeKeyFile(values));
    FUZZ_CHECK(again.size() == values.size(), "write-back lost values: %zu of %zu", again.size(),
               values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        FUZZ_CHECK(again[i].name == values[i].name && again[i].type == values[i].type &&
                       again[i].data == values[i].data,
                   "value %zu changed on write-back", i);
    }

    FUZZ_CHECK(SameLines(ParseKeyFileLines(SerializeKeyFileLines(lines)), lines),
               "lines changed on write-back");
    std::vector<KeyFileLine> written = lines;
    const KeyValue fuzzValue{"COM", 1, std::string("COM7\0", 5)};
    SetKeyFileValue(written, fuzzValue);
    const std::vector<KeyFileLine> reread = ParseKeyFileLines(SerializeKeyFileLines(written));
    FUZZ_CHECK(reread.size() == lines.size() + (names.count("COM") ? 0 : 1),
               "a write changed the line count");
    bool found = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].bValue && lines[i].value.name == "COM") {
            found = reread[i].bValue && reread[i].value.data == fuzzValue.data;
            continue;
        }
        FUZZ_CHECK(reread[i].text == lines[i].text, "line %zu changed by a write of another value", i);
    }
    if (!found)
        found = reread.back().bValue && reread.back().value.name == "COM" &&
                reread.back().value.data == fuzzValue.data;
    FUZZ_CHECK(found, "the written value did not read back");
    return 0;
}
