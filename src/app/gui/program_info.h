#pragma once
// The program's name and version as it shows them (captions, the About box, --version). Constants only.
inline constexpr const char16_t* kProgramName = u"Quarvel";
inline constexpr const char16_t* kVersionLine = u"Quarvel 1.2";
inline constexpr const char* kVersionText = "quarvel 1.2";
