// CMenu on the Win32 backend: a real menu (the dialog's system menu is the window's own), with the
// items also kept as data for Items().
#include "framework/menu.h"

#include "framework/win32_window.h"

CMenu::~CMenu() { DestroyMenu(); }

void CMenu::Attach(HMENU menu) {
    DestroyMenu();
    m_hMenu = menu;
    m_bOwned = false;
}

BOOL CMenu::CreatePopupMenu() {
    DestroyMenu();
    m_hMenu = ::CreatePopupMenu();
    m_bOwned = m_hMenu != nullptr;
    return m_hMenu != nullptr ? TRUE : FALSE;
}

BOOL CMenu::DestroyMenu() {
    m_items.clear();
    // A submenu appended to a window's menu goes with that window: IsMenu tells whether it still exists.
    if (m_bOwned && m_hMenu != nullptr && ::IsMenu(m_hMenu)) ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    m_bOwned = false;
    return TRUE;
}

BOOL CMenu::AppendMenuW(UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    if (m_hMenu == nullptr) return FALSE;
    if ((nFlags & MF_POPUP) != 0 && (nIDNewItem == 0 || reinterpret_cast<HMENU>(nIDNewItem) == m_hMenu)) return FALSE;
    if (!::AppendMenuW(m_hMenu, nFlags, nIDNewItem, (nFlags & MF_SEPARATOR) != 0 ? nullptr : Wide(text))) return FALSE;
    Item item;
    item.text = text;
    item.flags = (nFlags & MF_SEPARATOR) != 0 ? MF_SEPARATOR : (nFlags & MF_POPUP) != 0 ? MF_POPUP : MF_STRING;
    if (item.flags == MF_STRING) item.id = static_cast<UINT>(nIDNewItem);
    item.checked = (nFlags & MF_CHECKED) != 0;
    m_items.push_back(std::move(item));
    return TRUE;
}

BOOL CMenu::CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags) {
    if (m_hMenu == nullptr) return FALSE;
    // The system's call clears every item of the range when `item` is outside it or absent, and skips
    // positions past the end: here such a call changes nothing, as on the other backend.
    const UINT by = flags & MF_BYPOSITION;
    if (item < first || item > last || ::GetMenuState(m_hMenu, item, by) == 0xFFFFFFFFu) return FALSE;
    if (by != 0 && last >= static_cast<UINT>(::GetMenuItemCount(m_hMenu))) return FALSE;
    if (!::CheckMenuRadioItem(m_hMenu, first, last, item, flags)) return FALSE;
    if ((flags & MF_BYPOSITION) == 0) {
        for (Item& entry : m_items) {
            if (entry.flags != MF_STRING || entry.id < first || entry.id > last) continue;
            entry.radio = true;
            entry.checked = entry.id == item;
        }
    }
    return TRUE;
}

UINT CMenu::GetMenuState(UINT id, UINT flags) const {
    if (m_hMenu == nullptr) return 0xFFFFFFFFu;
    const UINT state = ::GetMenuState(m_hMenu, id, flags);
    return state == 0xFFFFFFFFu ? state : (state & MF_CHECKED);
}

BOOL CMenu::RemoveMenu(UINT position, UINT flags) {
    return m_hMenu != nullptr && ::RemoveMenu(m_hMenu, position, flags) ? TRUE : FALSE;
}

CMenu* CMenu::GetSubMenu(int) const { return nullptr; }  // not used on this backend
