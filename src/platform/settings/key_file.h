#pragma once
// The text form of one settings key: its values in order, one per line. Pure functions, any thread.
//
//   # comment lines start with '#'
//   sz:NAME=TEXT      a REG_SZ value whose data is TEXT plus a terminating NUL
//   TYPE:NAME=BYTES   any other value (TYPE in decimal), data exactly BYTES
//
// Writers put the bytes 0x00-0x1F, 0x7F, '=' and '\' of NAME, TEXT and BYTES as \xHH; every other byte,
// 8-bit ones included, stands for itself. Readers take \xHH and \\ as the byte they stand for, any other
// '\' as itself, and the first '=' as the end of the name (later ones are data). Lines end with LF; CRs
// before it and a missing LF after the last line are read as line ends too.
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

struct KeyValue {
    std::string name;
    DWORD type = 0;
    std::string data;  // the raw data bytes, for REG_SZ including the terminating NUL
};

// One line of the file as found (without its line end). A line that defines a value carries it; any
// other line (a comment, a blank, an unsound line, a second value of a name already defined) is only text
// and is written back exactly as it was.
struct KeyFileLine {
    std::string text;
    bool bValue = false;
    KeyValue value;  // when bValue
};

std::vector<KeyFileLine> ParseKeyFileLines(std::string_view text);
// The lines joined with LF, each line ended.
std::string SerializeKeyFileLines(const std::vector<KeyFileLine>& lines);
// Replaces the line of the value's name in place, or appends a line for a new name.
void SetKeyFileValue(std::vector<KeyFileLine>& lines, const KeyValue& value);
std::vector<KeyValue> KeyFileValues(const std::vector<KeyFileLine>& lines);

// The values of every sound line; an unsound line (bad type, missing '=', a control byte) is skipped,
// and a second value of the same name is ignored.
std::vector<KeyValue> ParseKeyFile(std::string_view text);
// A new file: the header comment and one line per value.
std::string SerializeKeyFile(const std::vector<KeyValue>& values);

// Maps a subkey name to a path relative to the configuration directory, e.g. "Software\Kordane\Quarvel"
// to "kordane/quarvel.reg": a leading "Software" component is dropped, components are lower-cased (key
// names are case-insensitive), bytes other than [a-z0-9_-] and a non-leading '.' are written %HH, and the
// last component gets ".reg". False for an empty name or an empty component.
bool KeyRelativePath(std::string_view subKey, std::string* path);
