#pragma once
// What the settings key holds, read back the way the programs read it (RegEnumValueA), for tests that
// check what was written. Test thread.
#include <string>

// The stored data of one value with its terminating NUL; "<none>" when absent, "<no key>" without the key.
std::string StoredSettingsData(const std::string& name);
// The same text without the NUL.
std::string StoredSettingsText(const std::string& name);
