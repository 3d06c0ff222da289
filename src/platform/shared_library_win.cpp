#include "platform/shared_library.h"

#include "platform/win32_api.h"

void* LoadFirstSharedLibrary(const wchar_t* const* names) {
    for (; names != nullptr && *names != nullptr; ++names) {
        // Only the system folder and the program's own: never the current folder.
        if (HMODULE module = LoadLibraryExW(*names, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) return module;
    }
    return nullptr;
}

void* FindSharedSymbol(void* library, const char* name) {
    if (library == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
