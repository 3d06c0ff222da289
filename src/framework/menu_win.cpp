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
    m_subMenus.clear();  // attached only: the system's submenus go with their menu
    // A submenu appended to a window's menu goes with that window: IsMenu tells whether it still exists.
    if (m_bOwned && m_hMenu != nullptr && ::IsMenu(m_hMenu)) ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    m_bOwned = false;
    return TRUE;
}

BOOL CMenu::AppendMenuW(UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    if (m_hMenu == nullptr) return FALSE;
    if ((nFlags & MF_POPUP) != 0 && (nIDNewItem == 0 || reinterpret_cast<HMENU>(nIDNewItem) == m_hMenu))
        return FALSE;
    if (!::AppendMenuW(m_hMenu, nFlags, nIDNewItem, (nFlags & MF_SEPARATOR) != 0 ? nullptr : Wide(text)))
        return FALSE;
    Item item;
    item.text = text;
    item.flags = (nFlags & MF_SEPARATOR) != 0 ? MF_SEPARATOR
                 : (nFlags & MF_POPUP) != 0   ? MF_POPUP
                                              : MF_STRING;
    if (item.flags == MF_STRING) item.id = static_cast<UINT>(nIDNewItem);
    item.checked = (nFlags & MF_CHECKED) != 0;
    m_items.push_back(std::move(item));
    return TRUE;
}

BOOL CMenu::CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags) {
    if (m_hMenu == nullptr || item < first || item > last) return FALSE;
    // The system's call clears the range before it looks for the item, and takes a range past the end:
    // as the header says, a missing item or range changes nothing.
    if ((flags & MF_BYPOSITION) != 0) {
        if (static_cast<int>(last) >= ::GetMenuItemCount(m_hMenu)) return FALSE;
    } else if (::GetMenuState(m_hMenu, item, MF_BYCOMMAND) == 0xFFFFFFFFu) {
        return FALSE;
    }
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

CMenu* CMenu::GetSubMenu(int position) const {
    if (m_hMenu == nullptr || position < 0) return nullptr;
    HMENU sub = ::GetSubMenu(m_hMenu, position);  // null for a command, a separator or past the end
    if (sub == nullptr) return nullptr;
    CMenu* found = nullptr;
    for (const auto& known : m_subMenus) {
        if (known->m_hMenu == sub) found = known.get();
    }
    if (found == nullptr) {
        found = m_subMenus.emplace_back(std::make_unique<CMenu>()).get();
        found->Attach(sub);
    }
    found->ReadItems();  // whoever built the submenu may have changed it since
    return found;
}

// The items as the system's menu holds them now. A submenu's entry carries no CMenu: GetSubMenu gives one.
void CMenu::ReadItems() {
    m_items.clear();
    const int count = ::GetMenuItemCount(m_hMenu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        if (!::GetMenuItemInfoW(m_hMenu, static_cast<UINT>(i), TRUE, &info)) continue;
        std::wstring text(info.cch, L'\0');
        info.cch += 1;
        info.dwTypeData = text.data();
        if (!text.empty() && !::GetMenuItemInfoW(m_hMenu, static_cast<UINT>(i), TRUE, &info)) continue;
        Item item;
        item.flags = (info.fType & MFT_SEPARATOR) != 0 ? MF_SEPARATOR
                     : info.hSubMenu != nullptr        ? MF_POPUP
                                                       : MF_STRING;
        if (item.flags == MF_STRING) item.id = info.wID;
        if (item.flags != MF_SEPARATOR) item.text = FromWide(text.c_str());
        item.checked = (info.fState & MFS_CHECKED) != 0;
        item.radio = (info.fType & MFT_RADIOCHECK) != 0;
        m_items.push_back(std::move(item));
    }
}
