#pragma once
// Paths into the source and build trees for tests (set by CTest as QUARVEL_SOURCE_DIR and
// QUARVEL_BINARY_DIR; compiled-in fallbacks when a test binary is run by hand).
#include <string>

std::string SourcePath(const std::string& relative);
std::string ReadWholeFile(const std::string& path);
