#pragma once
// Where the fonts the program embeds in the documents it writes (the service certificate) are found:
// $QUARVEL_FONT_DIR when set; else on Linux Debian's fonts-dejavu-core folder, on Windows the "fonts"
// folder beside the executable, where the installer puts them. Any thread.
#include <string>

// The full path of the font file `fileName` (e.g. "DejaVuSans.ttf"), in the system's narrow encoding.
std::string FontFilePath(const std::string& fileName);
