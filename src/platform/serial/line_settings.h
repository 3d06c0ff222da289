#pragma once
// LineSettings: the framing and speed of a serial line, as a mode string names them.
// A plain value; any thread may use it.
#include <cstdint>

enum class StopBits : std::uint8_t { One, OnePointFive, Two };

struct LineSettings {
    std::uint32_t nBaud = 9600;
    char cParity = 'N';  // 'N' none, 'E' even, 'O' odd, 'M' mark, 'S' space
    std::uint8_t nDataBits = 8;
    StopBits eStopBits = StopBits::One;

    bool operator==(const LineSettings&) const = default;
};
