#pragma once
// CMenu: a menu as data (items with ids, texts, check marks and submenus). The system menu of a
// dialog is one; the dialog shows it as a popup (see CDialog). UI thread only. The creator owns a
// menu; a submenu appended with MF_POPUP must outlive every menu it was appended to.
#include <memory>
#include <vector>

#include "framework/afx_defs.h"
#include "platform/win_types.h"

class CMenu;
#ifdef _WIN32
// On the Win32 backend a menu is also a real menu (the system menu is the window's own), and its
// handle is the system's.
struct HMENU__;
using HMENU = HMENU__*;
#else
using HMENU = CMenu*;
#endif

class CMenu {
public:
    struct Item {
        UINT flags = MF_STRING;  // MF_STRING, MF_SEPARATOR or MF_POPUP
        UINT id = 0;             // command id (0 for separators and submenus)
        CString text;
        CMenu* popup = nullptr;  // the submenu of an MF_POPUP item
        bool checked = false;
        bool radio = false;  // drawn as a radio mark once CheckMenuRadioItem has touched it
    };

    CMenu() = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Makes this an empty popup menu; m_hMenu then names it.
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    // MF_STRING: a command item (nIDNewItem is the id); MF_SEPARATOR: a line; MF_POPUP: nIDNewItem is
    // the HMENU of a submenu. MF_CHECKED may be added to a string item.
    BOOL AppendMenuW(UINT nFlags, UINT_PTR nIDNewItem = 0, const CString& text = CString());
    // Checks `item` and unchecks the other items from `first` to `last` of the same menu. With
    // MF_BYCOMMAND the three are command ids and submenus are searched too; with MF_BYPOSITION they
    // are positions in this menu. FALSE when `item` is not found.
    BOOL CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags);
    // MF_CHECKED or MF_UNCHECKED for a command (searched in submenus too); 0xFFFFFFFF when absent.
    UINT GetMenuState(UINT id, UINT flags) const;
    // Removes the item with this command id (or at this position with MF_BYPOSITION).
    BOOL RemoveMenu(UINT position, UINT flags);
    int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
    // The submenu of the MF_POPUP item at `position`; null for any other item or a position out of range.
    // The menu keeps the returned object; it stays valid until this menu is destroyed.
    CMenu* GetSubMenu(int position) const;

    const std::vector<Item>& Items() const { return m_items; }
    void Clear() { m_items.clear(); }

    HMENU m_hMenu = nullptr;
#ifdef _WIN32
    // Wraps an existing menu (the window's system menu) without owning it: DestroyMenu leaves it.
    void Attach(HMENU menu);
    ~CMenu();
#endif

private:
#ifdef _WIN32
    bool m_bOwned = false;
    // GetSubMenu's answers: each real submenu attached once, its items read from the system's menu.
    mutable std::vector<std::unique_ptr<CMenu>> m_subMenus;
    void ReadItems();
#endif
    static constexpr int kMaxDepth = 8;
    Item* FindCommand(UINT id, CMenu** owner, int depth);
    const Item* FindCommand(UINT id) const;

    std::vector<Item> m_items;
};
