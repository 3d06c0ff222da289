// Lookups in a module, the built-in English module and the process's current module.
#include "platform/resources/resource_module.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

// Generated at build time from resources/builtin.json (see resources/CMakeLists.txt).
extern const unsigned char kQuarvelBuiltinModule[];
extern const std::size_t kQuarvelBuiltinModuleSize;

const CString* CResourceModule::FindString(UINT id) const {
    auto it = std::lower_bound(m_strings.begin(), m_strings.end(), id,
                               [](const auto& entry, UINT key) { return entry.first < key; });
    return it != m_strings.end() && it->first == id ? &it->second : nullptr;
}

const DialogTemplate* CResourceModule::FindDialog(int id) const {
    for (const DialogTemplate& dlg : m_dialogs)
        if (dlg.id == id) return &dlg;
    return nullptr;
}

const std::vector<IconImage>* CResourceModule::FindIcon(int id) const {
    for (const auto& [iconId, images] : m_icons)
        if (iconId == id) return &images;
    return nullptr;
}

std::vector<UINT> CResourceModule::StringIds() const {
    std::vector<UINT> ids;
    for (const auto& entry : m_strings) ids.push_back(entry.first);
    return ids;
}

std::vector<int> CResourceModule::DialogIds() const {
    std::vector<int> ids;
    for (const DialogTemplate& dlg : m_dialogs) ids.push_back(dlg.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<int> CResourceModule::IconIds() const {
    std::vector<int> ids;
    for (const auto& entry : m_icons) ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::unique_ptr<CResourceModule> CResourceModule::LoadFile(const std::string& path, std::string* error,
                                                           const ResourceRequirements& required) {
    auto fail = [&](std::string why) -> std::unique_ptr<CResourceModule> {
        if (error) *error = path + ": " + why;
        return nullptr;
    };
    // Only regular files: a FIFO or a device named by a settings value must not block or stream forever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return fail("not a readable file");
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot be opened");
    std::string text(ResourceLimits::kMaxFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return fail("cannot be read");
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > ResourceLimits::kMaxFileBytes) return fail("larger than 4 MiB");
    std::string why;
    auto module = Parse(text, &why, required);
    if (!module) return fail(why);
    return module;
}

const CResourceModule& CResourceModule::BuiltIn() {
    static const CResourceModule* const module = [] {
        std::string why;
        const std::string_view text(reinterpret_cast<const char*>(kQuarvelBuiltinModule),
                                    kQuarvelBuiltinModuleSize);
        std::unique_ptr<CResourceModule> parsed =
            Parse(text, &why, ResourceRequirements{});  // checked by tests
        if (!parsed) {
            // Only a broken build gets here; the programs still run, with empty texts.
            std::fprintf(stderr, "quarvel: the built-in resource module is invalid: %s\n", why.c_str());
            parsed.reset(new CResourceModule());
        }
        return parsed.release();  // lives for the whole process
    }();
    return *module;
}

namespace {
std::mutex g_currentMutex;
std::shared_ptr<const CResourceModule> g_current;               // null: the built-in module
std::vector<std::shared_ptr<const CResourceModule>> g_retired;  // keeps handed-out references valid

std::shared_ptr<const CResourceModule> BuiltInShared() {
    return std::shared_ptr<const CResourceModule>(&CResourceModule::BuiltIn(), [](const CResourceModule*) {});
}
}  // namespace

const CResourceModule& AfxGetResourceHandle() {
    std::lock_guard lock(g_currentMutex);
    return g_current ? *g_current : CResourceModule::BuiltIn();
}

std::shared_ptr<const CResourceModule> AfxGetResourceModule() {
    std::lock_guard lock(g_currentMutex);
    return g_current ? g_current : BuiltInShared();
}

void AfxSetResourceHandle(std::shared_ptr<const CResourceModule> module) {
    if (module.get() == &CResourceModule::BuiltIn()) module.reset();
    std::lock_guard lock(g_currentMutex);
    if (g_current && g_current != module) g_retired.push_back(g_current);
    g_current = std::move(module);
}

CString LoadStringW(UINT id) {
    // A module carries every string of the application's table (the parser sees to it); a string added
    // after a pack was made comes from the built-in English module.
    const CString* text = AfxGetResourceHandle().FindString(id);
    if (!text) text = CResourceModule::BuiltIn().FindString(id);
    return text ? *text : CString();
}

CString AfxFormatString2(const CString& text, const CString& arg1, const CString& arg2) {
    CString out;
    out.reserve(text.size() + arg1.size() + arg2.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && (text[i + 1] == u'1' || text[i + 1] == u'2')) {
            out += text[i + 1] == u'1' ? arg1 : arg2;
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}
