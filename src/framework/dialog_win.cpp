// CDialog on the Win32 backend: the template becomes a DLGTEMPLATEEX run by DialogBoxIndirectParamW,
// whose own modal loop also delivers the messages posted to the main window. The dialog procedure
// turns WM_INITDIALOG, WM_COMMAND, WM_SYSCOMMAND and the mapped messages into the message map's calls.
#include "framework/dialog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "framework/command_guard.h"
#include "framework/dialog_anchors.h"
#include "framework/dialog_controls_win.h"
#include "framework/dialog_template_win.h"
#include "framework/icon.h"
#include "framework/wait_cursor.h"
#include "framework/win32_window.h"
#include "framework/win_app.h"

namespace {
// Whether the running WM_SYSCOMMAND is left to the system (CDialog::OnSysCommand's choice).
thread_local bool t_systemHandles = false;

// Numbers kept on a window as properties (removed with the window by RemoveProps).
void SetNumber(HWND window, const wchar_t* name, LONG value) {
    ::SetPropW(window, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(value)));
}
LONG Number(HWND window, const wchar_t* name) {
    return static_cast<LONG>(reinterpret_cast<INT_PTR>(::GetPropW(window, name)));
}
constexpr const wchar_t* kAnchorProps[] = {L"QuarvelAnchors", L"QuarvelX", L"QuarvelY", L"QuarvelCx",
                                           L"QuarvelCy"};
constexpr const char* kAnchorStyles[] = {"moveright", "movedown", "growright", "growdown"};

// A control that follows the dialog's size keeps its anchors (bits of kAnchorStyles) and first place.
void NoteAnchors(HWND dialog, HWND control, const std::vector<std::string>& styles) {
    LONG bits = 0;
    for (int i = 0; i < 4; ++i)
        if (std::find(styles.begin(), styles.end(), kAnchorStyles[i]) != styles.end()) bits |= 1 << i;
    if (bits == 0) return;
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    const LONG values[] = {bits, r.left, r.top, r.right - r.left, r.bottom - r.top};
    for (int i = 0; i < 5; ++i) SetNumber(control, kAnchorProps[i], values[i]);
}

// WM_SIZE of a dialog that can be resized: the anchored controls follow its client area.
void FollowSize(HWND dialog, int cx, int cy) {
    if (::GetPropW(dialog, L"QuarvelClientCx") == nullptr) return;
    const int dx = cx - Number(dialog, L"QuarvelClientCx"), dy = cy - Number(dialog, L"QuarvelClientCy");
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LONG bits = Number(child, L"QuarvelAnchors");
        if (bits == 0) continue;
        std::vector<std::string> styles;
        for (int i = 0; i < 4; ++i)
            if (bits & (1 << i)) styles.push_back(kAnchorStyles[i]);
        const AnchoredRect r = AnchorRect({Number(child, L"QuarvelX"), Number(child, L"QuarvelY"),
                                           Number(child, L"QuarvelCx"), Number(child, L"QuarvelCy")},
                                          styles, dx, dy);
        ::MoveWindow(child, r.x, r.y, r.cx, r.cy, TRUE);
    }
}

void RemoveProps(HWND dialog) {
    for (const wchar_t* name : {L"QuarvelClientCx", L"QuarvelClientCy", L"QuarvelMinCx", L"QuarvelMinCy"})
        ::RemovePropW(dialog, name);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        for (const wchar_t* name : kAnchorProps) ::RemovePropW(child, name);
}
}  // namespace

class DialogWindow {
public:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static void Attach(CDialog& dialog, HWND window);
    static void Detach(CDialog& dialog);
};

void DialogWindow::Attach(CDialog& dialog, HWND window) {
    dialog.m_hWnd = window;
    RECT units{0, 0, 4, 8};
    ::MapDialogRect(window, &units);
    dialog.m_units = DialogBaseUnits{units.right, units.bottom};
    // The controls in template order: the dialog manager creates them in that order.
    std::size_t position = 0;
    std::vector<const ControlTemplate*> built;
    for (const ControlTemplate& c : dialog.m_active->controls) {
        if (IsKnownControlKind(c.kind)) built.push_back(&c);
    }
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr && position < built.size();
         child = ::GetWindow(child, GW_HWNDNEXT), ++position) {
        const ControlTemplate& c = *built[position];
        if (c.kind == "defbutton") dialog.m_nDefaultId = c.id;
        if (c.kind == "icon") {
            if (HICON icon = AfxLoadIcon(std::stoi(std::string(c.text.begin(), c.text.end())))) {
                ::SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            }
        }
        dialog.m_controls.push_back(std::make_unique<CWnd>(child, c.id));
        NoteAnchors(window, child, c.styles);
    }
    if (IsResizable(dialog.m_active->styles)) {
        // The sizes the controls were placed for, and the smallest the window may become.
        RECT client{}, outer{};
        ::GetClientRect(window, &client);
        ::GetWindowRect(window, &outer);
        SetNumber(window, L"QuarvelClientCx", client.right);
        SetNumber(window, L"QuarvelClientCy", client.bottom);
        SetNumber(window, L"QuarvelMinCx", outer.right - outer.left);
        SetNumber(window, L"QuarvelMinCy", outer.bottom - outer.top);
    }
    if (HICON icon = AfxLoadIcon(IDR_MAINFRAME)) {
        ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    if (CWinApp* app = AfxGetApp()) app->MainWindowCreated(&dialog);
}

void DialogWindow::Detach(CDialog& dialog) {
    if (dialog.m_hWnd == nullptr) return;
    if (CWinApp* app = AfxGetApp()) app->MainWindowDestroyed(&dialog);
    dialog.m_hWnd = nullptr;
    dialog.m_controls.clear();
    dialog.m_systemMenu.Attach(nullptr);
    dialog.m_active.reset();
}

INT_PTR CALLBACK DialogWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        Attach(*dialog, window);
        BOOL focusDefault = TRUE;
        AfxRunGuarded([&] { focusDefault = dialog->OnInitDialog(); });
        return focusDefault;
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr || dialog->m_hWnd != window) return FALSE;
    switch (message) {
        case WM_COMMAND:
            dialog->RouteCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_SYSCOMMAND: {
            const bool outer = t_systemHandles;
            t_systemHandles = false;
            AfxRunGuarded([&] { dialog->OnSysCommand(static_cast<UINT>(wParam), lParam); });
            const bool leaveToSystem = t_systemHandles;
            t_systemHandles = outer;
            return leaveToSystem ? FALSE : TRUE;
        }
        case WM_NOTIFY: {
            // A list view's header click and activated item, routed like commands (see afx_defs.h).
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == LVN_COLUMNCLICK) {
                const auto* click = reinterpret_cast<const NMLISTVIEW*>(lParam);
                ::SetPropW(header->hwndFrom, L"QuarvelColumn",
                           reinterpret_cast<HANDLE>(static_cast<INT_PTR>(click->iSubItem + 1)));
                dialog->RouteCommand(static_cast<UINT>(header->idFrom), LVN_COLUMNCLICK);
                return TRUE;
            }
            if (header->code == LVN_ITEMACTIVATE) {
                dialog->RouteCommand(static_cast<UINT>(header->idFrom), LVN_ITEMACTIVATE);
                return TRUE;
            }
            return FALSE;
        }
        case WM_SIZE:
            FollowSize(window, LOWORD(lParam), HIWORD(lParam));
            return FALSE;
        case WM_GETMINMAXINFO:
            if (::GetPropW(window, L"QuarvelMinCx") != nullptr) {
                auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
                limits->ptMinTrackSize = {Number(window, L"QuarvelMinCx"), Number(window, L"QuarvelMinCy")};
                return TRUE;
            }
            return FALSE;
        case WM_NCDESTROY:
            RemoveProps(window);
            Detach(*dialog);
            return FALSE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            // A dimmed control (CWnd::ShowDimmed): the grey of disabled text on the usual background.
            if (::GetPropW(reinterpret_cast<HWND>(lParam), L"QuarvelDimmed") != nullptr) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
                ::SetBkColor(dc, ::GetSysColor(message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE));
                return reinterpret_cast<INT_PTR>(
                    ::GetSysColorBrush(message == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE));
            }
            break;
        case WM_SETCURSOR:
            // The system sets the arrow at every mouse move: while work goes on in the background the
            // hourglass is set again here, over the whole window.
            if (AfxIsWaitCursorShown()) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                ::SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            break;
        default:
            break;
    }
    auto it = dialog->m_messages.find(message);
    if (it == dialog->m_messages.end()) return FALSE;
    auto handler = it->second;  // a copy: the handler may change the map
    LRESULT result = 0;
    AfxRunGuarded([&] { result = handler(wParam, lParam); });
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

CDialog::~CDialog() {
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr) return -1;  // already running
    m_bEnded = false;
    m_nModalResult = -1;
    if (m_given) {
        m_active = m_given;
    } else if (const DialogTemplate* found =
                   AfxGetResourceHandle().FindDialog(static_cast<int>(m_nIDTemplate))) {
        m_active = *found;  // a copy: the window's layout stays as it was created
    } else {
        return -1;
    }
    m_bHasSystemMenu = HasStyleOf(*m_active, "sysmenu");
    m_nDefaultId = IDOK;
    const std::vector<std::uint32_t> bytes = BuildDialogTemplate(*m_active);
    HWND owner = nullptr;
    if (m_pParentWnd != nullptr && m_pParentWnd->GetSafeHwnd() != nullptr) {
        owner = m_pParentWnd->GetSafeHwnd();
    } else if (CWinApp* app = AfxGetApp();
               app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != this) {
        owner = app->m_pMainWnd->GetSafeHwnd();
    }
    const INT_PTR shown = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr),
                                                    reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                                                    &DialogWindow::Proc, reinterpret_cast<LPARAM>(this));
    m_active.reset();
    return shown == -1 && !m_bEnded ? -1 : m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEnded = true;
    if (m_hWnd != nullptr) ::EndDialog(m_hWnd, nResult);
}

CMenu* CDialog::GetSystemMenu(BOOL bRevert) {
    if (m_hWnd == nullptr || !m_bHasSystemMenu) return nullptr;
    if (bRevert) {
        ::GetSystemMenu(m_hWnd, TRUE);
        m_systemMenu.Attach(nullptr);
        return nullptr;
    }
    m_systemMenu.Attach(::GetSystemMenu(m_hWnd, FALSE));
    return &m_systemMenu;
}

void CDialog::OnSysCommand(UINT, LPARAM) {
    // Close, Minimize, Move ...: the system's own handling (Close becomes IDCANCEL).
    t_systemHandles = true;
}

void CDialog::RouteCommand(UINT id, UINT code) {
    if (m_hWnd == nullptr) return;
    AfxRunGuarded([&] { OnCommand(id, code); });
}

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd != nullptr ? ::SendMessageW(m_hWnd, message, wParam, lParam) : 0;
}
