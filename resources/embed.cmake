# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -P embed.cmake
# Writes the bytes of INPUT as the definition of the built-in resource module.
file(READ "${INPUT}" _hex HEX)
string(LENGTH "${_hex}" _len)
math(EXPR _size "${_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" _bytes "${_bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\n"
"extern const unsigned char kQuarvelBuiltinModule[];\n"
"extern const std::size_t kQuarvelBuiltinModuleSize;\n"
"const unsigned char kQuarvelBuiltinModule[] = {\n${_bytes}0x00};\n"
"const std::size_t kQuarvelBuiltinModuleSize = ${_size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
