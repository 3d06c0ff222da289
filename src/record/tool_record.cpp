#include "record/tool_record.h"

bool ModelMatches(const char (&expected)[8], const BYTE (&deviceInfo)[16]) {
    // strcmp bounded to the eight model bytes: equal up to and including the first NUL.
    for (int i = 0; i < 8; ++i) {
        const auto want = static_cast<unsigned char>(expected[i]);
        if (deviceInfo[i] != want) return false;
        if (want == 0) return true;
    }
    return true;  // eight equal bytes and no NUL in either: the model field is full on both sides
}
