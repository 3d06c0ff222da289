#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/resource_ids.h"
#include "platform/resource_module.h"

TEST(BuiltInModule, ParsesAndCarriesTheDialogs) {
    const CResourceModule& m = CResourceModule::BuiltIn();
    EXPECT_EQ(m.Language(), "en");
    ASSERT_NE(m.FindDialog(IDD_SELCOM), nullptr);
    EXPECT_EQ(m.FindDialog(IDD_SELCOM)->caption, u"Connection");
    ASSERT_NE(m.FindString(IDS_LINK_NOT_ESTABLISHED), nullptr);
    EXPECT_EQ(*m.FindString(IDS_LINK_NOT_ESTABLISHED), u"Link with the tool was not estabilished.");
    EXPECT_EQ(LoadStringW(IDS_ABOUTBOX), u"&About ");
}
