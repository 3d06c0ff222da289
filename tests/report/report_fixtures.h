#pragma once
// Records and helpers shared by the report tests.
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "record/tool_record.h"

inline ToolRecord WorkedExampleRecord() {
    ToolRecord r;
    std::u16string(u"RK-9").copy(r.ToolModel, 19);
    std::u16string(u"T-417").copy(r.ToolSerial, 20);
    std::u16string(u"1.04").copy(r.FirmwareVersion, 22);
    std::u16string(u"C-981").copy(r.ControllerSerial, 14);
    r.CycleCounter = 152;
    r.TotalCounter = 873;
    r.PositionCounts = 250;
    r.ForceReading = 300;
    r.ForceFactor = 3;
    r.ForceDivisor = 2;
    r.CycleFlags = 5;
    return r;
}

inline const char16_t* const kWorkedExampleLines[10][2] = {
    {u"Tool", u"RK-9"},
    {u"Tool Serial Number", u"T-417"},
    {u"Controller Firmware Version", u"1.04"},
    {u"Controller Serial Number", u"C-981"},
    {u"Cycle Counter", u"152"},
    {u"Total Counter", u"873"},
    {u"Stop position", u"2.710000"},
    {u"Last force recorded", u"0.450000"},
    {u"Stop conditions", u"Mechanical breakup"},
    {u"Direction", u"Forward"},
};

// The file's bytes: FF FE, then every unit low byte first.
inline std::vector<unsigned char> Utf16LeWithBom(const CString& text) {
    std::vector<unsigned char> bytes = {0xFF, 0xFE};
    for (char16_t u : text) {
        bytes.push_back(static_cast<unsigned char>(u & 0xFF));
        bytes.push_back(static_cast<unsigned char>(u >> 8));
    }
    return bytes;
}
