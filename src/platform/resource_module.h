#pragma once
// Resource modules: one data-only JSON file supplies every string, dialog template and icon.
// Exactly one module is current at a time (the built-in English one, or a loaded language pack);
// there is no fallback between modules. Lookups may run on any thread; the current module is
// switched only at start-up, before worker threads exist.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

// One control of a dialog template. Rectangles are in dialog units.
struct ControlTemplate {
    int id = -1;            // -1 for controls without an id (labels, group boxes)
    std::string kind;       // "button", "defbutton", "edit", "static", "groupbox", "combobox", "listbox", "icon"
    CString text;           // caption; for "icon" controls the decimal icon id
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<std::string> styles;  // e.g. "tabstop", "border", "readonly", "vscroll", "autohscroll", "notify"
};

struct DialogTemplate {
    int id = 0;
    CString caption;
    int cx = 0, cy = 0;     // size in dialog units
    CString fontName;
    int fontSize = 8;       // points
    std::vector<std::string> styles;  // e.g. "popup", "caption", "sysmenu", "modalframe", "minimizebox"
    std::vector<ControlTemplate> controls;  // in template order, which is also the tab order
};

struct IconImage {
    int size = 0;                    // width = height in pixels
    std::vector<std::uint8_t> png;   // the PNG file's bytes
};

class CResourceModule {
public:
    // Parses a module. Returns null, with a reason in *error, for anything that is not a complete,
    // well-formed module (it must carry dialogs 100, 102 and 7000 and icon 128).
    static std::unique_ptr<CResourceModule> Parse(std::string_view json, std::string* error);
    static std::unique_ptr<CResourceModule> LoadFile(const std::string& path, std::string* error);
    // The English module compiled into the programs.
    static const CResourceModule& BuiltIn();

    const CString* FindString(UINT id) const;
    const DialogTemplate* FindDialog(int id) const;
    const std::vector<IconImage>* FindIcon(int id) const;
    std::vector<UINT> StringIds() const;
    std::vector<int> DialogIds() const;
    const std::string& Language() const { return m_language; }

private:
    friend struct ResourceModuleParser;
    std::string m_language;
    std::vector<std::pair<UINT, CString>> m_strings;   // sorted by id
    std::vector<DialogTemplate> m_dialogs;
    std::vector<std::pair<int, std::vector<IconImage>>> m_icons;
};

// The current module (AfxGetResourceHandle / AfxSetResourceHandle). Setting null restores the built-in one.
const CResourceModule& AfxGetResourceHandle();
void AfxSetResourceHandle(std::shared_ptr<const CResourceModule> module);

// A string of the current module by id; empty when the module lacks it.
CString LoadStringW(UINT id);
