#pragma once
// Resource modules: one data-only JSON file supplies every string, dialog template and icon.
// Exactly one module is current at a time (the built-in English one, or a loaded language pack); it
// supplies every dialog and icon, and every string its loader required (the application's table). Only a
// string beyond that, which a pack made for an earlier release lacks, comes from the built-in module. Lookups
// may run on any thread; the current module is switched only at start-up, before worker threads exist.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

// One control of a dialog template. Rectangles are in dialog units.
struct ControlTemplate {
    int id = -1;       // -1 for controls without an id (labels, group boxes)
    std::string kind;  // "button", "defbutton", "edit", "static", "groupbox", "combobox", "listbox", "icon"
    CString text;      // caption; for "icon" controls the decimal icon id
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<std::string>
        styles;  // e.g. "tabstop", "border", "readonly", "vscroll", "autohscroll", "notify"
};

struct DialogTemplate {
    int id = 0;
    CString caption;
    int cx = 0, cy = 0;  // size in dialog units
    CString fontName;
    int fontSize = 8;                       // points
    std::vector<std::string> styles;        // e.g. "popup", "caption", "sysmenu", "modalframe", "minimizebox"
    std::vector<ControlTemplate> controls;  // in template order, which is also the tab order
};

struct IconImage {
    int size = 0;                   // width = height in pixels
    std::vector<std::uint8_t> png;  // the PNG file's bytes
};

// What a module must carry for its user to run on it: strings (present and not empty), dialogs with the
// controls of each, icons. The application states its own (ids/resource_requirements.h); the loader knows
// no id of its own.
struct ResourceRequirements {
    std::vector<UINT> strings;
    std::vector<std::pair<int, std::vector<int>>> dialogs;  // dialog id, the control ids it must have
    std::vector<int> icons;
};

class CResourceModule {
public:
    // Parses a module. Returns null, with a reason in *error, for anything that is not a well-formed
    // module carrying everything `required` names.
    static std::unique_ptr<CResourceModule> Parse(std::string_view json, std::string* error,
                                                  const ResourceRequirements& required);
    static std::unique_ptr<CResourceModule> LoadFile(const std::string& path, std::string* error,
                                                     const ResourceRequirements& required);
    // The English module compiled into the programs.
    static const CResourceModule& BuiltIn();

    const CString* FindString(UINT id) const;
    const DialogTemplate* FindDialog(int id) const;
    const std::vector<IconImage>* FindIcon(int id) const;
    std::vector<UINT> StringIds() const;
    std::vector<int> DialogIds() const;
    std::vector<int> IconIds() const;
    const std::string& Language() const { return m_language; }

private:
    friend struct ResourceModuleParser;
    std::string m_language;
    std::vector<std::pair<UINT, CString>> m_strings;  // sorted by id
    std::vector<DialogTemplate> m_dialogs;
    std::vector<std::pair<int, std::vector<IconImage>>> m_icons;
};

// Limits a module must respect; anything larger is refused, never truncated.
struct ResourceLimits {
    static constexpr std::size_t kMaxFileBytes = 4u << 20;
    static constexpr int kMaxNesting = 16;
    static constexpr std::size_t kMaxStrings = 4096;
    static constexpr std::size_t kMaxStringBytes = 8192;
    static constexpr std::size_t kMaxDialogs = 64;
    static constexpr std::size_t kMaxControls = 256;
    static constexpr std::size_t kMaxIcons = 16;
    static constexpr std::size_t kMaxImagesPerIcon = 8;
    static constexpr std::size_t kMaxPngBytes = 1u << 20;
};

// The current module (AfxGetResourceHandle / AfxSetResourceHandle). Setting null restores the built-in one.
// A module once made current is kept alive for the rest of the process, so the reference returned by
// AfxGetResourceHandle stays valid even if another thread switches modules afterwards.
const CResourceModule& AfxGetResourceHandle();
// The same, as shared ownership (null never: the built-in module is returned as a non-owning pointer).
std::shared_ptr<const CResourceModule> AfxGetResourceModule();
void AfxSetResourceHandle(std::shared_ptr<const CResourceModule> module);

// A string of the current module by id; one the module lacks from the built-in module; empty when
// neither has it.
CString LoadStringW(UINT id);

// Copies `text` with every "%1" replaced by `arg1` and every "%2" by `arg2` (the framework's
// message formatting); other '%' sequences stay as they are.
CString AfxFormatString2(const CString& text, const CString& arg1, const CString& arg2 = CString());
