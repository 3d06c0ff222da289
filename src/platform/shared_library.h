#pragma once
// A system library loaded at run time, for a library the Windows build cannot link against because
// no import library for it is at hand. Windows build only (shared_library_win.cpp); any thread.
// A loaded library stays loaded for the rest of the process.

// The first of the names (a null-terminated list of DLL names) that loads; null when none does.
void* LoadFirstSharedLibrary(const wchar_t* const* names);
// The address of an exported function, or null.
void* FindSharedSymbol(void* library, const char* name);
