// CMenu as data: radio checks by command across submenus and by position, a submenu by position, and a
// submenu cycle.
#include <gtest/gtest.h>

#include "framework/menu.h"

namespace {

TEST(Menu, RadioCheckByCommandFindsTheItemInASubmenu) {
    CMenu top, language;
    top.CreatePopupMenu();
    language.CreatePopupMenu();
    for (UINT id = 1501; id <= 1504; ++id) language.AppendMenuW(MF_STRING, id, u"lang");
    top.AppendMenuW(MF_STRING, 16, u"About");
    top.AppendMenuW(MF_POPUP, reinterpret_cast<UINT_PTR>(language.m_hMenu), u"Language");

    EXPECT_TRUE(top.CheckMenuRadioItem(1501, 1504, 1503, MF_BYCOMMAND));
    EXPECT_EQ(top.GetMenuState(1503, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_TRUE(language.CheckMenuRadioItem(1501, 1504, 1502, MF_BYCOMMAND));
    EXPECT_EQ(language.GetMenuState(1503, MF_BYCOMMAND), MF_UNCHECKED);
    EXPECT_EQ(language.GetMenuState(1502, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(top.GetMenuState(16, MF_BYCOMMAND), MF_UNCHECKED);  // outside the range: untouched
    // An item outside first..last, or absent, changes nothing.
    EXPECT_FALSE(language.CheckMenuRadioItem(1501, 1504, 1508, MF_BYCOMMAND));
    EXPECT_FALSE(language.CheckMenuRadioItem(1501, 1504, 1499, MF_BYCOMMAND));
    EXPECT_EQ(language.GetMenuState(1502, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(top.GetMenuState(9999, MF_BYCOMMAND), 0xFFFFFFFFu);

    // The popup item's submenu is the language menu, with its items and checks; any other position has none.
    CMenu* sub = top.GetSubMenu(1);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->m_hMenu, language.m_hMenu);
    EXPECT_EQ(top.GetSubMenu(1), sub);  // the same object every time
    ASSERT_EQ(sub->GetMenuItemCount(), 4);
    EXPECT_EQ(sub->Items()[3].id, 1504u);
    EXPECT_EQ(sub->Items()[3].text, u"lang");
    EXPECT_TRUE(sub->Items()[1].checked);
    EXPECT_EQ(top.GetSubMenu(0), nullptr);
    EXPECT_EQ(top.GetSubMenu(2), nullptr);
    EXPECT_EQ(top.GetSubMenu(-1), nullptr);
    EXPECT_EQ(sub->GetSubMenu(0), nullptr);
    // A check made through it is the language menu's.
    EXPECT_TRUE(sub->CheckMenuRadioItem(1501, 1504, 1504, MF_BYCOMMAND));
    EXPECT_EQ(language.GetMenuState(1504, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(language.GetMenuState(1502, MF_BYCOMMAND), MF_UNCHECKED);
}

TEST(Menu, RadioCheckByPosition) {
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenuW(MF_STRING, 1, u"a");
    menu.AppendMenuW(MF_STRING, 2, u"b");
    EXPECT_TRUE(menu.CheckMenuRadioItem(0, 1, 1, MF_BYPOSITION));
    EXPECT_EQ(menu.GetMenuState(1, MF_BYPOSITION), MF_CHECKED);
    EXPECT_FALSE(menu.CheckMenuRadioItem(0, 5, 1, MF_BYPOSITION));
}

TEST(Menu, SubmenuCyclesDoNotRecurseForever) {
    CMenu a, b;
    a.CreatePopupMenu();
    b.CreatePopupMenu();
    EXPECT_FALSE(a.AppendMenuW(MF_POPUP, reinterpret_cast<UINT_PTR>(a.m_hMenu), u"self"));
    a.AppendMenuW(MF_POPUP, reinterpret_cast<UINT_PTR>(b.m_hMenu), u"b");
    b.AppendMenuW(MF_POPUP, reinterpret_cast<UINT_PTR>(a.m_hMenu), u"a");
    EXPECT_EQ(a.GetMenuState(42, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_FALSE(a.CheckMenuRadioItem(40, 44, 42, MF_BYCOMMAND));
}

}  // namespace
