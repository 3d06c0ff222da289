#pragma once
// The text form of one settings key: its values in order, one per line. Pure functions, any thread.
//
//   # comment lines start with '#'
//   sz:NAME=TEXT      a REG_SZ value whose data is TEXT plus a terminating NUL
//   TYPE:NAME=BYTES   any other value (TYPE in decimal), data exactly BYTES
//
// In NAME, TEXT and BYTES the bytes 0x00-0x1F, 0x7F, '=' and '\' are written as \xHH (and '\' also
// reads as \\); every other byte, 8-bit ones included, stands for itself. Lines end with LF.
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

struct KeyValue {
    std::string name;
    DWORD type = 0;
    std::string data;  // the raw data bytes, for REG_SZ including the terminating NUL
};

// Reads every sound line of the file; an unsound line (bad type, missing '=', bad escape, a last
// line without its LF) is skipped, and a second value of the same name is ignored.
std::vector<KeyValue> ParseKeyFile(std::string_view text);
std::string SerializeKeyFile(const std::vector<KeyValue>& values);

// Maps a subkey name to a path relative to the configuration directory, e.g. "Software\Kordane\Quarvel"
// to "kordane/quarvel.reg": a leading "Software" component is dropped, components are lower-cased (key
// names are case-insensitive), bytes other than [a-z0-9_-] and a non-leading '.' are written %HH, and the
// last component gets ".reg". False for an empty name or an empty component.
bool KeyRelativePath(std::string_view subKey, std::string* path);
