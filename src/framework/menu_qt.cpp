#include "framework/menu.h"

BOOL CMenu::CreatePopupMenu() {
    m_items.clear();
    m_hMenu = this;
    return TRUE;
}

BOOL CMenu::DestroyMenu() {
    m_items.clear();
    m_hMenu = nullptr;
    return TRUE;
}

BOOL CMenu::AppendMenuW(UINT nFlags, UINT_PTR nIDNewItem, const CString& text) {
    Item item;
    item.text = text;
    if (nFlags & MF_SEPARATOR) {
        item.flags = MF_SEPARATOR;
    } else if (nFlags & MF_POPUP) {
        item.flags = MF_POPUP;
        item.popup = reinterpret_cast<CMenu*>(nIDNewItem);
        if (item.popup == nullptr || item.popup == this) return FALSE;
    } else {
        item.flags = MF_STRING;
        item.id = static_cast<UINT>(nIDNewItem);
        item.checked = (nFlags & MF_CHECKED) != 0;
    }
    m_items.push_back(std::move(item));
    return TRUE;
}

CMenu::Item* CMenu::FindCommand(UINT id, CMenu** owner, int depth) {
    // The depth bound keeps a submenu cycle (a menu appended into its own submenu) from recursing forever.
    if (depth > kMaxDepth) return nullptr;
    for (Item& item : m_items) {
        if (item.flags == MF_STRING && item.id == id) {
            *owner = this;
            return &item;
        }
    }
    for (Item& item : m_items) {
        if (item.flags == MF_POPUP && item.popup != nullptr) {
            if (Item* found = item.popup->FindCommand(id, owner, depth + 1)) return found;
        }
    }
    return nullptr;
}

const CMenu::Item* CMenu::FindCommand(UINT id) const {
    CMenu* owner = nullptr;
    return const_cast<CMenu*>(this)->FindCommand(id, &owner, 0);
}

BOOL CMenu::CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags) {
    if (item < first || item > last) return FALSE;
    if (flags & MF_BYPOSITION) {
        if (last >= m_items.size()) return FALSE;
        for (UINT pos = first; pos <= last; ++pos) {
            m_items[pos].radio = true;
            m_items[pos].checked = pos == item;
        }
        return TRUE;
    }
    CMenu* owner = nullptr;
    if (FindCommand(item, &owner, 0) == nullptr) return FALSE;
    for (Item& entry : owner->m_items) {
        if (entry.flags == MF_STRING && entry.id >= first && entry.id <= last) {
            entry.radio = true;
            entry.checked = entry.id == item;
        }
    }
    return TRUE;
}

UINT CMenu::GetMenuState(UINT id, UINT flags) const {
    const Item* item = nullptr;
    if (flags & MF_BYPOSITION) {
        if (id < m_items.size()) item = &m_items[id];
    } else {
        item = FindCommand(id);
    }
    if (item == nullptr) return 0xFFFFFFFFu;
    return item->checked ? MF_CHECKED : MF_UNCHECKED;
}

BOOL CMenu::RemoveMenu(UINT position, UINT flags) {
    if (flags & MF_BYPOSITION) {
        if (position >= m_items.size()) return FALSE;
        m_items.erase(m_items.begin() + position);
        return TRUE;
    }
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if (it->flags == MF_STRING && it->id == position) {
            m_items.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}

CMenu* CMenu::GetSubMenu(int position) const {
    if (position < 0 || position >= GetMenuItemCount()) return nullptr;
    return m_items[static_cast<std::size_t>(position)].popup;
}
