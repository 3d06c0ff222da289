// The text-fit check on the Win32 backend: each dialog of the module is built by the dialog manager
// from the same in-memory template the program runs (never shown), and every text is measured in its
// control's own font against the room the control leaves for it.
#include "framework/text_fit.h"

#include "framework/dialog_controls_win.h"
#include "framework/dialog_template_win.h"
#include "framework/win32_window.h"

namespace {

// The button's frame and focus rectangle on each side; a group box's title starts after its frame line.
constexpr int kButtonMargin = 4;
constexpr int kGroupTitleMargin = 9;

INT_PTR CALLBACK Inert(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG ? TRUE : FALSE; }

// The width of `text` on one line in the control's font; mnemonic markers are not drawn.
int WidthIn(HWND control, const CString& text, bool mnemonics) {
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    ::DrawTextW(dc, Wide(text), static_cast<int>(text.size()), &r,
                DT_CALCRECT | DT_SINGLELINE | (mnemonics ? 0u : static_cast<UINT>(DT_NOPREFIX)));
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return r.right - r.left;
}

// What the control leaves for its text; -1 for controls whose text is not checked.
int RoomOf(HWND control, const ControlTemplate& c) {
    RECT client{};
    ::GetClientRect(control, &client);
    if (c.kind == "static") return client.right;
    if (c.kind == "button" || c.kind == "defbutton") return client.right - 2 * kButtonMargin;
    if (c.kind == "groupbox") return client.right - 2 * kGroupTitleMargin;
    if (c.kind == "edit") {
        RECT format{};
        ::SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        return format.right - format.left;
    }
    return -1;
}

void CheckDialog(const CResourceModule& module, const DialogTemplate& tmpl,
                 const std::vector<ShownText>& shown, std::vector<UnfitText>& unfit) {
    const std::vector<std::uint32_t> bytes = BuildDialogTemplate(tmpl);
    HWND window = ::CreateDialogIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr, &Inert, 0);
    if (window == nullptr) return;
    ::ShowWindow(window, SW_HIDE);
    // The children in template order, as the dialog manager created them.
    HWND child = ::GetWindow(window, GW_CHILD);
    for (std::size_t i = 0; i < tmpl.controls.size() && child != nullptr; ++i) {
        const ControlTemplate& c = tmpl.controls[i];
        if (!IsKnownControlKind(c.kind)) continue;
        HWND control = child;
        child = ::GetWindow(child, GW_HWNDNEXT);
        const int room = RoomOf(control, c);
        if (room < 0) continue;
        std::vector<CString> texts{c.text};
        if (c.id != -1) {
            for (CString& text : ShownTextsOf(module, shown, tmpl.id, c.id)) texts.push_back(std::move(text));
        }
        for (const CString& text : texts) {
            if (text.empty()) continue;
            const int width = WidthIn(control, text, c.kind != "edit");
            if (width > room) unfit.push_back({tmpl.id, c.id, i, text, width, room});
        }
    }
    ::DestroyWindow(window);
}

}  // namespace

std::vector<UnfitText> FindUnfitTexts(const CResourceModule& module, const std::vector<ShownText>& shown) {
    std::vector<UnfitText> unfit;
    for (int id : module.DialogIds()) CheckDialog(module, *module.FindDialog(id), shown, unfit);
    return unfit;
}
