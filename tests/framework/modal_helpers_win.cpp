// The test helpers on the Win32 backend: steps run from a thread timer, which every message loop
// dispatches (DialogBoxIndirectParamW's and MessageBoxW's too); controls are found with GetDlgItem and
// driven with the messages a user's input would send.
#include "framework/modal_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "framework/win32_window.h"
#include "framework/wnd.h"

namespace {

std::map<UINT_PTR, std::function<void(TestWindow)>>& PendingSteps() {
    static std::map<UINT_PTR, std::function<void(TestWindow)>> steps;
    return steps;
}

bool IsDialogWindow(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770";
}

// The modal window the user would be working in: the topmost shown and enabled dialog of this thread
// (a modal dialog disables its owner).
HWND ActiveModal() {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            if (!IsDialogWindow(window) || !::IsWindowVisible(window) || !::IsWindowEnabled(window))
                return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;  // Z order: the first is the topmost
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The window a modal loop runs for, shown or not yet: the dialog manager shows a dialog only once its
// loop finds the queue empty, which may come after a timer.
HWND OpeningModal() {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            if (!IsDialogWindow(window) || !::IsWindowEnabled(window)) return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK RunStep(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    auto it = PendingSteps().find(id);
    if (it == PendingSteps().end()) return;
    auto step = std::move(it->second);
    PendingSteps().erase(it);
    HWND modal = ActiveModal();
    if (modal == nullptr && OpeningModal() != nullptr) {
        // Not shown yet: the step runs once the loop has shown it (a ModalDeadline bounds the wait).
        const UINT_PTR again = ::SetTimer(nullptr, 0, 10, &RunStep);
        if (again != 0) {
            PendingSteps()[again] = std::move(step);
            return;
        }
    }
    if (modal != nullptr) ::SetForegroundWindow(modal);
    step(modal);
}

void CALLBACK EndEveryModal(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ADD_FAILURE() << "a modal window was still open at the deadline";
    for (int i = 0; i < 16; ++i) {
        HWND modal = ActiveModal();
        if (modal == nullptr) break;
        ::EndDialog(modal, IDCANCEL);
        ProcessPending();
        if (ActiveModal() == modal) break;
    }
}

HWND Item(TestWindow dialog, int id) { return dialog != nullptr ? ::GetDlgItem(dialog, id) : nullptr; }

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

CString TextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return CString(text.begin(), text.end());
}

// "&x" shows x, "&&" shows one '&': the text as the control draws it.
CString WithoutMnemonics(const CString& text) {
    CString shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

CString ListText(HWND list, UINT getCurrent, UINT getLength, UINT getText) {
    const LRESULT row = ::SendMessageW(list, getCurrent, 0, 0);
    if (row < 0) return {};
    const LRESULT length = ::SendMessageW(list, getLength, static_cast<WPARAM>(row), 0);
    if (length < 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(list, getText, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return CString(text.begin(), text.end());
}

}  // namespace

void WhenModal(std::function<void(TestWindow modal)> step) {
    const UINT_PTR id = ::SetTimer(nullptr, 0, 0, &RunStep);
    ASSERT_NE(id, 0u) << "SetTimer failed";
    PendingSteps()[id] = std::move(step);
}

ModalDeadline::ModalDeadline(int milliseconds)
    : m_timer(::SetTimer(nullptr, 0, static_cast<UINT>(milliseconds), &EndEveryModal)) {}

ModalDeadline::~ModalDeadline() {
    if (m_timer != 0) ::KillTimer(nullptr, static_cast<UINT_PTR>(m_timer));
}

void ProcessPending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // As the dialog manager's own loop: a dialog's keys (Enter, Esc, Tab) go through IsDialogMessage.
        HWND root = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root != nullptr && IsDialogWindow(root) && ::IsDialogMessageW(root, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    while (!done()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) break;
        // Sleeps until a message arrives (at most 10 ms at a time), then delivers what came.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(10, end - now)),
                                      QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        ProcessPending();
    }
    return done();
}

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

bool HasControl(TestWindow dialog, int id) { return Item(dialog, id) != nullptr; }

CString ControlText(TestWindow dialog, int id) {
    HWND control = Item(dialog, id);
    if (control == nullptr) return {};
    const std::wstring kind = ClassOf(control);
    if (kind == L"ListBox") return ListText(control, LB_GETCURSEL, LB_GETTEXTLEN, LB_GETTEXT);
    if (kind == L"ComboBox") return ListText(control, CB_GETCURSEL, CB_GETLBTEXTLEN, CB_GETLBTEXT);
    if (kind == L"Button" || kind == L"Static") return WithoutMnemonics(TextOf(control));
    return TextOf(control);
}

std::vector<CString> ListItems(TestWindow dialog, int id) {
    std::vector<CString> items;
    HWND control = Item(dialog, id);
    if (control == nullptr) return items;
    const bool combo = ClassOf(control) == L"ComboBox";
    const LRESULT count = ::SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = ::SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, row, 0);
        std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        ::SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, row,
                       reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(length, 0)));
        items.emplace_back(text.begin(), text.end());
    }
    return items;
}

void SelectRow(TestWindow dialog, int id, int row) {
    HWND control = Item(dialog, id);
    if (control == nullptr) return;
    // The selection, then the notification a click brings.
    const bool combo = ClassOf(control) == L"ComboBox";
    ::SendMessageW(control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(control));
}

void TypeText(TestWindow dialog, int id, const CString& text) {
    HWND edit = Item(dialog, id);
    if (edit == nullptr) return;
    // Select everything and replace it, as a paste does: the edit's length limit applies.
    const std::wstring wide(text.begin(), text.end());
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Click(TestWindow dialog, int id) {
    if (HWND button = Item(dialog, id)) ::SendMessageW(button, BM_CLICK, 0, 0);
}

// Keys as the keyboard delivers them to the focused control; the dialog's loop routes them.
void PressKey(TestWindow dialog, int id, Key key) {
    FocusControl(dialog, id);
    static const std::map<Key, UINT> kKeys = {{Key::Return, VK_RETURN},
                                              {Key::Enter, VK_RETURN},
                                              {Key::Escape, VK_ESCAPE},
                                              {Key::Down, VK_DOWN},
                                              {Key::F4, VK_F4}};
    HWND control = Item(dialog, id);
    if (control == nullptr) return;
    ::PostMessageW(control, WM_KEYDOWN, kKeys.at(key), 1);
    ::PostMessageW(control, WM_KEYUP, kKeys.at(key), 0xC0000001);
    ProcessPending();
}

bool ChooseText(TestWindow dialog, int id, const CString& text) {
    HWND combo = Item(dialog, id);
    if (combo == nullptr) return false;
    const std::wstring wide(text.begin(), text.end());
    const LRESULT at = ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(wide.c_str()));
    if (at < 0) return false;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    // What the combo box tells its dialog when the user picks an entry.
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    return true;
}

void FocusControl(TestWindow dialog, int id) {
    if (HWND control = Item(dialog, id))
        ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

int FocusedControl(TestWindow dialog) {
    HWND focus = ::GetFocus();
    for (; focus != nullptr && focus != dialog; focus = ::GetParent(focus)) {
        if (::GetParent(focus) == dialog) return ::GetDlgCtrlID(focus);
    }
    return 0;
}

int EditLimit(TestWindow dialog, int id) {
    HWND edit = Item(dialog, id);
    return edit != nullptr ? static_cast<int>(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0)) : 0;
}

bool IsControlShown(TestWindow dialog, int id) {
    HWND control = Item(dialog, id);
    return control != nullptr && ::IsWindowVisible(control);
}

bool IsControlEnabled(TestWindow dialog, int id) {
    HWND control = Item(dialog, id);
    return control != nullptr && ::IsWindowEnabled(control);
}

bool IsWindowShown(TestWindow window) {
    return window != nullptr && ::IsWindow(window) && ::IsWindowVisible(window);
}

CString WindowCaption(TestWindow window) { return window != nullptr ? TextOf(window) : CString(); }

PixelRect ControlRect(TestWindow dialog, int id) {
    HWND control = Item(dialog, id);
    RECT r{};
    if (control == nullptr || !::GetWindowRect(control, &r)) return {};
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

PixelRect ClientRect(TestWindow window) {
    RECT r{};
    if (window == nullptr || !::GetClientRect(window, &r)) return {};
    return {0, 0, r.right, r.bottom};
}

void ResizeWindowBy(TestWindow window, int dx, int dy) {
    RECT r{};
    if (window == nullptr || !::GetWindowRect(window, &r)) return;
    ::SetWindowPos(window, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsReadOnly(TestWindow dialog, int id) {
    HWND edit = Item(dialog, id);
    return edit != nullptr && (::GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY) != 0;
}

bool IsChecked(TestWindow dialog, int id) {
    HWND button = Item(dialog, id);
    return button != nullptr && ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int ListRows(TestWindow dialog, int id) {
    HWND list = Item(dialog, id);
    if (list == nullptr || ClassOf(list) != WC_LISTVIEWW) return -1;
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

int ListOverflowPx(TestWindow dialog, int id) {
    HWND list = Item(dialog, id);
    if (list == nullptr) return -1;
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int count =
        header != nullptr ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    int columns = 0;
    for (int c = 0; c < count; ++c)
        columns += static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
    RECT client{};
    ::GetClientRect(list, &client);
    return std::max(0, columns - static_cast<int>(client.right - client.left));
}

CString ToolTipOf(TestWindow dialog, int id) {
    CWnd control(Item(dialog, id), id);
    return control.GetToolTipText();
}

bool IsDimmed(TestWindow dialog, int id) {
    CWnd control(Item(dialog, id), id);
    return control.IsDimmed() != FALSE;
}

// Mouse messages at the middle of the header item or row, as the mouse sends them.
void ClickListHeader(TestWindow dialog, int id, int column) {
    HWND list = Item(dialog, id);
    const HWND header =
        list != nullptr ? reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0)) : nullptr;
    RECT r{};
    if (header == nullptr || !::SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&r)))
        return;
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(header, WM_LBUTTONUP, 0, at);
}

void DoubleClickListRow(TestWindow dialog, int id, int row) {
    HWND list = Item(dialog, id);
    RECT r{};
    r.left = LVIR_LABEL;
    if (list == nullptr || !::SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r))) return;
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(list, WM_LBUTTONUP, 0, at);
    ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::SendMessageW(list, WM_LBUTTONUP, 0, at);
}

CString ListCell(TestWindow dialog, int id, int row, int column) {
    HWND list = Item(dialog, id);
    if (list == nullptr) return {};
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    const LRESULT length =
        ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return CString(text, text + std::max<LRESULT>(length, 0));
}

void PressEscape(TestWindow dialog) {
    HWND focus = ::GetFocus();
    HWND target = focus != nullptr && ::GetAncestor(focus, GA_ROOT) == dialog ? focus : dialog;
    ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
    ::PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    ProcessPending();
}

bool HasIcon(TestWindow window) {
    return window != nullptr && (::SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0 ||
                                 ::SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0);
}
