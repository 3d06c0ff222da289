#include "framework/dialog_template_win.h"

#include <algorithm>
#include <cstring>

#include "framework/dialog_controls_win.h"
#include "framework/win32_window.h"

namespace {

bool Has(const std::vector<std::string>& styles, const char* style) {
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

class Writer {
public:
    void Word(std::uint16_t value) {
        m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF)),
            m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Dword(std::uint32_t value) {
        Word(static_cast<std::uint16_t>(value & 0xFFFF)), Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Byte(std::uint8_t value) { m_bytes.push_back(value); }
    void Text(const CString& text) {
        for (char16_t c : text) Word(c);
        Word(0);
    }
    void AlignDword() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
    }
    std::vector<std::uint32_t> Done() {
        AlignDword();
        std::vector<std::uint32_t> out(m_bytes.size() / 4);
        std::memcpy(out.data(), m_bytes.data(), m_bytes.size());
        return out;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

struct ControlClass {
    std::uint16_t atom = 0;  // 0: by name
    const wchar_t* name = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
};

ControlClass ClassOf(const ControlTemplate& c) {
    const auto& s = c.styles;
    if (c.kind == "button") return {0x0080, nullptr, BS_PUSHBUTTON};
    if (c.kind == "defbutton") return {0x0080, nullptr, BS_DEFPUSHBUTTON};
    if (c.kind == "radiobutton") return {0x0080, nullptr, BS_AUTORADIOBUTTON};
    if (c.kind == "groupbox") return {0x0080, nullptr, BS_GROUPBOX};
    if (c.kind == "edit") {
        DWORD style = ES_LEFT;
        if (Has(s, "autohscroll")) style |= ES_AUTOHSCROLL;
        if (Has(s, "readonly")) style |= ES_READONLY;
        if (Has(s, "right")) style |= ES_RIGHT;
        if (Has(s, "center")) style |= ES_CENTER;
        return {0x0081, nullptr, style};
    }
    if (c.kind == "static") {
        DWORD style = Has(s, "center") ? SS_CENTER : Has(s, "right") ? SS_RIGHT : SS_LEFT;
        return {0x0082, nullptr, style};
    }
    if (c.kind == "icon") return {0x0082, nullptr, SS_ICON | SS_CENTERIMAGE};
    if (c.kind == "listbox") {
        DWORD style = 0;
        if (Has(s, "notify")) style |= LBS_NOTIFY;
        if (Has(s, "sort")) style |= LBS_SORT;
        if (Has(s, "nointegralheight")) style |= LBS_NOINTEGRALHEIGHT;
        return {0x0083, nullptr, style};
    }
    if (c.kind == "combobox") {
        return {0x0085, nullptr,
                static_cast<DWORD>(Has(s, "dropdownlist") ? CBS_DROPDOWNLIST : CBS_DROPDOWN)};
    }
    if (c.kind == "listview") {
        // The header's items are buttons: a click on one reaches the dialog as LVN_COLUMNCLICK.
        return {0, WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS};
    }
    return {};
}

}  // namespace

bool IsKnownControlKind(const std::string& kind) {
    ControlTemplate probe;
    probe.kind = kind;
    const ControlClass cls = ClassOf(probe);
    return cls.atom != 0 || cls.name != nullptr;
}

bool HasStyleOf(const DialogTemplate& tmpl, const char* style) { return Has(tmpl.styles, style); }

std::vector<std::uint32_t> BuildDialogTemplate(const DialogTemplate& tmpl) {
    const auto& ds = tmpl.styles;
    DWORD style = DS_SETFONT | DS_CENTER | WS_POPUP;
    if (Has(ds, "caption")) style |= WS_CAPTION;
    if (Has(ds, "sysmenu")) style |= WS_SYSMENU;
    if (Has(ds, "modalframe")) style |= DS_MODALFRAME;
    if (Has(ds, "minimizebox")) style |= WS_MINIMIZEBOX;
    if (Has(ds, "thickframe")) style |= WS_THICKFRAME;
    DWORD exStyle = Has(ds, "appwindow") ? WS_EX_APPWINDOW : 0;

    std::vector<const ControlTemplate*> controls;
    for (const ControlTemplate& c : tmpl.controls) {
        if (IsKnownControlKind(c.kind)) controls.push_back(&c);
    }
    Writer w;
    w.Word(1);
    w.Word(0xFFFF);
    w.Dword(0);  // help id
    w.Dword(exStyle);
    w.Dword(style);
    w.Word(static_cast<std::uint16_t>(controls.size()));
    w.Word(0), w.Word(0);
    w.Word(static_cast<std::uint16_t>(tmpl.cx)), w.Word(static_cast<std::uint16_t>(tmpl.cy));
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.Text(tmpl.caption);
    w.Word(static_cast<std::uint16_t>(tmpl.fontSize));
    w.Word(FW_NORMAL);
    w.Byte(0);  // not italic
    w.Byte(DEFAULT_CHARSET);
    w.Text(tmpl.fontName);
    for (const ControlTemplate* c : controls) {
        const ControlClass cls = ClassOf(*c);
        DWORD cstyle = WS_CHILD | cls.style;
        DWORD cex = cls.exStyle;
        const auto& s = c->styles;
        if (!Has(s, "hidden")) cstyle |= WS_VISIBLE;
        if (Has(s, "tabstop")) cstyle |= WS_TABSTOP;
        if (Has(s, "group")) cstyle |= WS_GROUP;
        if (Has(s, "disabled")) cstyle |= WS_DISABLED;
        if (Has(s, "vscroll")) cstyle |= WS_VSCROLL;
        if (Has(s, "hscroll")) cstyle |= WS_HSCROLL;
        if (Has(s, "border")) cstyle |= WS_BORDER;
        if (Has(s, "clientedge")) cex |= WS_EX_CLIENTEDGE;
        w.AlignDword();
        w.Dword(0);  // help id
        w.Dword(cex);
        w.Dword(cstyle);
        w.Word(static_cast<std::uint16_t>(c->x)), w.Word(static_cast<std::uint16_t>(c->y));
        w.Word(static_cast<std::uint16_t>(c->cx)), w.Word(static_cast<std::uint16_t>(c->cy));
        w.Dword(static_cast<std::uint32_t>(c->id == -1 ? 0xFFFF : c->id));
        if (cls.atom != 0) {
            w.Word(0xFFFF);
            w.Word(cls.atom);
        } else {
            w.Text(FromWide(cls.name));
        }
        w.Text(c->kind == "icon" ? CString() : c->text);
        w.Word(0);  // no creation data
    }
    return w.Done();
}
