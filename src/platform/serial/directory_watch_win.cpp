// The Windows build watches no folders (COM ports are not files there): nothing is ever reported.
#include "platform/serial/directory_watch.h"

DirectoryWatch::DirectoryWatch() = default;
DirectoryWatch::~DirectoryWatch() = default;
bool DirectoryWatch::Add(const std::string&) { return false; }
std::vector<DirectoryEvent> DirectoryWatch::TakeEvents() { return {}; }
