// Reading a resource module from its JSON text. The text may come from any file a settings value
// names, so every field is type- and range-checked and the whole module is refused on the first fault.
#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"

using nlohmann::json;

namespace {
// Deepest bracket nesting of a JSON text, counting only brackets outside strings. Run before the
// real parse so that a hostile file cannot make the parser or the destructor recurse deeply.
int NestingDepth(std::string_view text) {
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// A decimal id written without sign, blanks or leading zeros, 1..65535.
bool ParseId(const std::string& key, int& id) {
    if (key.empty() || key.size() > 5 || key[0] == '0') return false;
    const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), id);
    return ec == std::errc() && end == key.data() + key.size() && id >= 1 && id <= 0xFFFF;
}

bool IntIn(const json& v, long long lo, long long hi, int& out) {
    if (!v.is_number_integer()) return false;
    long long value;
    if (v.is_number_unsigned()) {
        const auto u = v.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(hi)) return false;
        value = static_cast<long long>(u);
    } else {
        value = v.get<long long>();
    }
    if (value < lo || value > hi) return false;
    out = static_cast<int>(value);
    return true;
}

bool Base64Decode(const std::string& in, std::vector<std::uint8_t>& out) {
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    if (in.size() % 4 != 0) return false;
    out.clear();
    out.reserve(in.size() / 4 * 3);
    for (std::size_t i = 0; i < in.size(); i += 4) {
        const bool last = i + 4 == in.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = in[i + k];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
            } else if (pad > 0 || (v[k] = value(c)) < 0) {
                return false;
            }
        }
        const std::uint32_t bits = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out.push_back(static_cast<std::uint8_t>(bits >> 16));
        if (pad < 2) out.push_back(static_cast<std::uint8_t>(bits >> 8));
        if (pad < 1) out.push_back(static_cast<std::uint8_t>(bits));
    }
    return true;
}

// A PNG whose header chunk says it is size x size pixels.
bool IsSquarePng(const std::vector<std::uint8_t>& png, int size) {
    static const std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (png.size() < 33 || !std::equal(std::begin(kSignature), std::end(kSignature), png.begin()))
        return false;
    if (!std::equal(png.begin() + 12, png.begin() + 16, "IHDR")) return false;
    auto be32 = [&](std::size_t at) {
        return (std::uint32_t(png[at]) << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    };
    return be32(16) == std::uint32_t(size) && be32(20) == std::uint32_t(size);
}

bool IsStyleName(const json& v) {
    if (!v.is_string()) return false;
    const auto& s = v.get_ref<const std::string&>();
    if (s.empty() || s.size() > 32) return false;
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

const std::set<std::string> kControlKinds = {"button",   "defbutton", "edit",     "static",      "groupbox",
                                             "combobox", "listbox",   "listview", "radiobutton", "icon"};

}  // namespace

struct ResourceModuleParser {
    CResourceModule& m;
    std::string error;

    bool Fail(std::string why) {
        error = std::move(why);
        return false;
    }

    bool Text(const json& v, CString& out, const std::string& where) {
        if (!v.is_string()) return Fail(where + ": not a string");
        const auto& s = v.get_ref<const std::string&>();
        if (s.size() > ResourceLimits::kMaxStringBytes) return Fail(where + ": text too long");
        if (!Utf8ToUtf16(s, out)) return Fail(where + ": invalid UTF-8");
        return true;
    }

    bool Styles(const json& obj, std::vector<std::string>& out, const std::string& where) {
        if (!obj.contains("styles")) return true;
        const json& styles = obj["styles"];
        if (!styles.is_array() || styles.size() > 32) return Fail(where + ": styles must be a short array");
        for (const json& s : styles) {
            if (!IsStyleName(s)) return Fail(where + ": bad style name");
            out.push_back(s.get<std::string>());
        }
        return true;
    }

    bool Strings(const json& strings) {
        if (!strings.is_object()) return Fail("strings: not an object");
        if (strings.size() > ResourceLimits::kMaxStrings) return Fail("strings: too many");
        for (const auto& [key, value] : strings.items()) {
            int id;
            if (!ParseId(key, id)) return Fail("strings: bad id \"" + key + "\"");
            CString text;
            if (!Text(value, text, "string " + key)) return false;
            m.m_strings.emplace_back(static_cast<UINT>(id), std::move(text));
        }
        std::sort(m.m_strings.begin(), m.m_strings.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        return true;
    }

    bool Control(const json& c, ControlTemplate& out, const std::string& where) {
        if (!c.is_object()) return Fail(where + ": not an object");
        if (c.contains("id") && !IntIn(c["id"], -1, 0xFFFF, out.id)) return Fail(where + ": bad id");
        if (out.id == 0) return Fail(where + ": id 0");
        if (!c.contains("kind") || !c["kind"].is_string() ||
            !kControlKinds.count(c["kind"].get<std::string>()))
            return Fail(where + ": bad kind");
        out.kind = c["kind"].get<std::string>();
        if (c.contains("text") && !Text(c["text"], out.text, where + " text")) return false;
        const json* rect = c.contains("rect") ? &c["rect"] : nullptr;
        if (!rect || !rect->is_array() || rect->size() != 4 || !IntIn((*rect)[0], -4096, 4096, out.x) ||
            !IntIn((*rect)[1], -4096, 4096, out.y) || !IntIn((*rect)[2], 0, 4096, out.cx) ||
            !IntIn((*rect)[3], 0, 4096, out.cy))
            return Fail(where + ": rect must be [x, y, width, height] in -4096..4096");
        return Styles(c, out.styles, where);
    }

    bool Dialog(const std::string& key, const json& d) {
        DialogTemplate dlg;
        const std::string where = "dialog " + key;
        if (!ParseId(key, dlg.id)) return Fail("dialogs: bad id \"" + key + "\"");
        if (!d.is_object()) return Fail(where + ": not an object");
        if (d.contains("caption") && !Text(d["caption"], dlg.caption, where + " caption")) return false;
        const json* size = d.contains("size") ? &d["size"] : nullptr;
        if (!size || !size->is_array() || size->size() != 2 || !IntIn((*size)[0], 1, 4096, dlg.cx) ||
            !IntIn((*size)[1], 1, 4096, dlg.cy))
            return Fail(where + ": size must be [width, height] in 1..4096");
        if (d.contains("font")) {
            const json& font = d["font"];
            if (!font.is_object() || !font.contains("name") || !font.contains("size"))
                return Fail(where + ": font must have a name and a size");
            if (!Text(font["name"], dlg.fontName, where + " font")) return false;
            if (!IntIn(font["size"], 1, 72, dlg.fontSize)) return Fail(where + ": font size out of 1..72");
        }
        if (!Styles(d, dlg.styles, where)) return false;
        if (!d.contains("controls") || !d["controls"].is_array()) return Fail(where + ": controls missing");
        const json& controls = d["controls"];
        if (controls.size() > ResourceLimits::kMaxControls) return Fail(where + ": too many controls");
        std::set<int> ids;
        for (std::size_t i = 0; i < controls.size(); ++i) {
            ControlTemplate control;
            if (!Control(controls[i], control, where + " control " + std::to_string(i))) return false;
            if (control.id != -1 && !ids.insert(control.id).second)
                return Fail(where + ": control id " + std::to_string(control.id) + " twice");
            dlg.controls.push_back(std::move(control));
        }
        m.m_dialogs.push_back(std::move(dlg));
        return true;
    }

    bool Dialogs(const json& dialogs) {
        if (!dialogs.is_object()) return Fail("dialogs: not an object");
        if (dialogs.size() > ResourceLimits::kMaxDialogs) return Fail("dialogs: too many");
        for (const auto& [key, value] : dialogs.items())
            if (!Dialog(key, value)) return false;
        return true;
    }

    bool Icon(const std::string& key, const json& images) {
        int id;
        if (!ParseId(key, id)) return Fail("icons: bad id \"" + key + "\"");
        const std::string where = "icon " + key;
        if (!images.is_array() || images.empty() || images.size() > ResourceLimits::kMaxImagesPerIcon)
            return Fail(where + ": must be a short, non-empty array of images");
        std::vector<IconImage> out;
        for (const json& image : images) {
            IconImage img;
            if (!image.is_object() || !image.contains("size") || !IntIn(image["size"], 1, 1024, img.size))
                return Fail(where + ": image size out of 1..1024");
            if (!image.contains("png") || !image["png"].is_string()) return Fail(where + ": png missing");
            const auto& text = image["png"].get_ref<const std::string&>();
            if (text.size() > ResourceLimits::kMaxPngBytes / 3 * 4 + 4)
                return Fail(where + ": png too large");
            if (!Base64Decode(text, img.png)) return Fail(where + ": png is not base64");
            if (!IsSquarePng(img.png, img.size)) return Fail(where + ": png does not match its size");
            out.push_back(std::move(img));
        }
        m.m_icons.emplace_back(id, std::move(out));
        return true;
    }

    bool Icons(const json& icons) {
        if (!icons.is_object()) return Fail("icons: not an object");
        if (icons.size() > ResourceLimits::kMaxIcons) return Fail("icons: too many");
        for (const auto& [key, value] : icons.items())
            if (!Icon(key, value)) return false;
        return true;
    }

    // The pieces the programs cannot run without (what the caller requires: strings, present and not
    // empty, dialogs with their controls, icons), and every icon control naming an icon the module has.
    bool Complete(const ResourceRequirements& required) {
        for (const UINT id : required.strings) {
            const CString* text = m.FindString(id);
            if (!text || text->empty()) return Fail("string " + std::to_string(id) + " missing");
        }
        for (const auto& [dialogId, controls] : required.dialogs) {
            const DialogTemplate* dlg = m.FindDialog(dialogId);
            if (!dlg) return Fail("dialog " + std::to_string(dialogId) + " missing");
            for (int id : controls) {
                const bool present = std::any_of(dlg->controls.begin(), dlg->controls.end(),
                                                 [id](const ControlTemplate& c) { return c.id == id; });
                if (!present)
                    return Fail("dialog " + std::to_string(dialogId) + ": control " + std::to_string(id) +
                                " missing");
            }
        }
        for (const int icon : required.icons) {
            if (!m.FindIcon(icon)) return Fail("icon " + std::to_string(icon) + " missing");
        }
        for (const DialogTemplate& dlg : m.m_dialogs) {
            for (const ControlTemplate& c : dlg.controls) {
                int iconId;
                if (c.kind == "icon" && (!ParseId(Utf16ToUtf8(c.text), iconId) || !m.FindIcon(iconId)))
                    return Fail("dialog " + std::to_string(dlg.id) + ": icon control names no icon");
            }
        }
        return true;
    }

    bool Run(const json& root, const ResourceRequirements& required) {
        if (!root.is_object()) return Fail("not a JSON object");
        if (root.contains("format")) {
            int format;
            if (!IntIn(root["format"], 1, 1, format)) return Fail("unknown format");
        }
        if (!root.contains("language") || !root["language"].is_string() ||
            root["language"].get_ref<const std::string&>().size() > 16 || !IsStyleName(root["language"]))
            return Fail("language: must be a short lower-case tag");
        m.m_language = root["language"].get<std::string>();
        if (root.contains("strings") && !Strings(root["strings"])) return false;
        if (!root.contains("dialogs") || !Dialogs(root["dialogs"]))
            return error.empty() ? Fail("dialogs missing") : false;
        if (!root.contains("icons") || !Icons(root["icons"]))
            return error.empty() ? Fail("icons missing") : false;
        return Complete(required);
    }
};

std::unique_ptr<CResourceModule> CResourceModule::Parse(std::string_view text, std::string* error,
                                                        const ResourceRequirements& required) {
    auto fail = [&](std::string why) -> std::unique_ptr<CResourceModule> {
        if (error) *error = std::move(why);
        return nullptr;
    };
    if (text.size() > ResourceLimits::kMaxFileBytes) return fail("file larger than 4 MiB");
    if (NestingDepth(text) > ResourceLimits::kMaxNesting) return fail("nesting too deep");
    const json root = json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (root.is_discarded()) return fail("not valid JSON");
    auto module = std::unique_ptr<CResourceModule>(new CResourceModule());
    ResourceModuleParser parser{*module, {}};
    if (!parser.Run(root, required)) return fail(parser.error);
    return module;
}
