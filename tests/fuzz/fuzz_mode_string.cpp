// Fuzz target: the mode-string parser ("baud=9600 parity=N data=8 stop=1", "9600,n,8,1").
// Properties: no crash; a refused string leaves the line untouched; an accepted one gives settings a serial
// line can have; whether a string is accepted, and what it names, does not depend on the line it is
// applied to; applying it twice changes nothing more.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/serial/mode_string.h"

namespace {
bool Sane(const LineSettings& l) {
    const bool parity =
        l.cParity == 'N' || l.cParity == 'E' || l.cParity == 'O' || l.cParity == 'M' || l.cParity == 'S';
    return parity && l.nDataBits >= 5 && l.nDataBits <= 8 && l.nBaud > 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string mode(reinterpret_cast<const char*>(data), size);  // stops at an embedded NUL
    const LineSettings a0{}, b0{115200, 'E', 7, StopBits::Two};
    LineSettings a = a0, b = b0;
    const bool okA = ParseModeString(mode.c_str(), a);
    const bool okB = ParseModeString(mode.c_str(), b);
    FUZZ_CHECK(okA == okB, "acceptance depends on the line it is applied to");
    if (!okA) {
        FUZZ_CHECK(a == a0 && b == b0, "a refused mode string changed the line");
        return 0;
    }
    FUZZ_CHECK(Sane(a) && Sane(b), "accepted settings a line cannot have");
    // A setting the string names comes out the same from both starting lines.
    if (a.nBaud != a0.nBaud || b.nBaud != b0.nBaud)
        FUZZ_CHECK(a.nBaud == b.nBaud, "speed depends on the line");
    if (a.cParity != a0.cParity || b.cParity != b0.cParity)
        FUZZ_CHECK(a.cParity == b.cParity, "parity differs");
    if (a.nDataBits != a0.nDataBits || b.nDataBits != b0.nDataBits)
        FUZZ_CHECK(a.nDataBits == b.nDataBits, "data bits differ");
    LineSettings twice = a;
    FUZZ_CHECK(ParseModeString(mode.c_str(), twice) && twice == a, "applying twice changed the line again");
    return 0;
}
