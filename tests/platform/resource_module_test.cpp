// The built-in module's content, the current-module switch and the refusal of broken modules.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "ids/resource_ids.h"
#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"
#include "support/source_path.h"

namespace {
using nlohmann::json;

const std::map<UINT, std::u16string> kEnglish = {
    {101, u"&About "},
    {102, u"Link with the tool was not estabilished."},
    {103, u"Connect"},
    {104, u"Disconnect"},
    {105, u"Are you sure you want to disconnect from the tool?"},
    {106, u"Disconnected"},
    {110, u"The output file could not be opened."},
    {111, u"Tool"},
    {112, u"Tool Serial Number"},
    {113, u"Controller Firmware Version"},
    {114, u"Controller Serial Number"},
    {115, u"Cycle Counter"},
    {116, u"Total Counter"},
    {117, u"Stop position"},
    {118, u"Last force recorded"},
    {119, u"Stop conditions"},
    {120, u"Successful cycle"},
    {121, u"Mechanical breakup"},
    {122, u"Unexpected mechanical barrier encountered"},
    {124, u"Forward"},
    {125, u"Backward"},
    {126, u"There is no any communication ports available. Did you connect the tool? Check the cable."},
    {127, u"Direction"},
    {128, u"Language"},
    {129, u"English"},
    {130, u"French"},
    {131, u"Italian"},
    {132, u"Bulgarian"},
    {133, u"Please restart the program to activate the new settings"},
    {134, u"Unknown device"},
    {135, u"Working range not reached or exceeded"},
    {140, u"History..."},
    {141, u"Date"},
    {142, u"Tool serial"},
    {143, u"Model"},
    {144, u"Cycle counter"},
    {145, u"Total counter"},
    {146, u"Result"},
    {147, u"Controller serial"},
    {148, u"Firmware"},
    {149, u"Since previous"},
    {150, u"Since service"},
    {151, u"Service"},
    {152, u"due"},
    {153, u"The service history could not be written; this read was not kept."},
    {154, u"The history is switched off (the settings value History is 0)."},
    {155, u"No reads in this view."},
    {156, u"Comma Separated Values (*.csv)|*.csv|"},
    {157, u"The service history could not be read."},
    {158, u"The history file was damaged; it was renamed to %1 and a new one was started."},
    {159, u"Reading the history…"},
    {160, u"no tool read yet"},
    {161, u"values of the read of %1"},
    {162, u"No tool has been read: the values shown are not a reading. Save them all the same?"},
    {163,
     u"The values shown are those of an earlier read (%1), not of the tool tried last. Save the values of "
     u"that "
     u"earlier read?"},
    {164, u"These ports are there but could not be opened:"},
    {165, u"held by %1 (process %2)"},
    {166, u"held by another program"},
    {167, u"permission denied; join the group %1"},
    {168, u"permission denied"},
    {169, u"the file is locked by another program"},
    {170, u"the disk is full"},
    {171, u"the file or its folder is read-only"},
    {172, u"the file is damaged"},
    {173, u"the file is not a history database"},
    {174, u"the file was written by a newer version of Quarvel"},
    {175, u"the file cannot be used"},
    {176, u"Technician"},
    {177, u"Team history..."},
    {178, u"Team history: last sync %1; %2 records waiting to be sent."},
    {179, u"never"},
    {180, u"The history server could not be reached: %1"},
    {181, u"The history server refused the user name or password: %1"},
    {182, u"The secure connection (TLS) to the history server failed: %1"},
    {183, u"The server's database holds no Quarvel history (quarvel-cli server init makes it): %1"},
    {184, u"The server's history was made by a newer Quarvel; update this program: %1"},
    {185,
     u"The server's history was made by an older Quarvel (quarvel-cli server init brings it up to date): %1"},
    {186, u"The history server refused the request: %1"},
    {187, u"The connection string is not valid: %1"},
    {188, u"This computer's history could not be used: %1"},
    {189, u"Syncing with the history server…"},
    {190, u"Connected: %1."},
    {191, u"No history server is set: this computer keeps its own history only."},
    {192, u"The settings could not be saved (error %1)."},
    {193, u"Synced: %1 records sent, %2 received."},
    {194, u"Connecting to the history server…"},
    {195, u"due: %1 cycles since service"},
    {196, u"due: %1 days since service"},
    {197, u"due soon: %1 of %2 cycles"},
    {198, u"due soon: %1 of %2 days"},
    {199, u"not due"},
    {200, u"reset"},
    {201, u"%1 (was %2)"},
    {202, u","},
    {203, u"Service certificate"},
    {204, u"Tool reading"},
    {205, u"Cycles since the previous service"},
    {206, u"Technician"},
    {207, u"Date"},
    {208, u"Work done"},
    {209, u"Next service due"},
    {210, u"at total counter %1"},
    {211, u"on %1"},
    {212, u"%1 or %2, whichever comes first"},
    {213, u"no service plan is set"},
    {214, u"Signature"},
    {215, u"Total counter of the tool's reads; service visits marked"},
    {216, u"%m/%d/%Y"},
    {217, u"%m/%d/%Y %I:%M %p"},
    {218, u"Total counter %1, read %2"},
    {219, u"Enter the date as YYYY-MM-DD."},
    {220, u"The service visit could not be kept: %1"},
    {221, u"PDF documents (*.pdf)|*.pdf|"},
    {222, u"The certificate could not be written: %1"},
    {IDS_FW_PARSE_INT, u"Please enter an integer."},
    {IDS_FW_PARSE_INT_RANGE, u"Enter an integer between %1 and %2."},
    {IDS_FW_PARSE_REAL, u"Please enter a number."},
    {IDS_FW_GENERIC, u"An unexpected error occurred."},
    {IDS_FW_FILE_GENERIC, u"An unknown error occurred while accessing %1."},
    {IDS_FW_FILE_NOT_FOUND, u"%1 was not found."},
    {IDS_FW_FILE_BAD_PATH, u"%1 contains an invalid path."},
    {IDS_FW_FILE_ACCESS_DENIED, u"Access to %1 was denied."},
    {IDS_FW_FILE_SHARING, u"A sharing violation occurred while accessing %1."},
    {IDS_FW_FILE_DISK_FULL, u"Disk full while accessing %1."},
    {IDS_FW_MENU_MINIMIZE, u"Mi&nimize"},
    {IDS_FW_MENU_CLOSE, u"&Close\tAlt+F4"},
    {IDS_FW_MENU_BUTTON_TIP, u"Window menu (Alt+Space)"},
    {IDS_REPORT_FILE_FILTER, u"Text Files (*.txt)|*.txt|MS Excel Comma Separated Values (*.csv)|*.csv|"},
};

const ControlTemplate* Control(const DialogTemplate& dlg, int id) {
    for (const ControlTemplate& c : dlg.controls)
        if (c.id == id) return &c;
    return nullptr;
}

std::vector<std::string> Styles(std::initializer_list<const char*> names) {
    return {names.begin(), names.end()};
}

json BuiltInJson() { return json::parse(ReadWholeFile(SourcePath("resources/builtin.json"))); }

std::string Why(const json& module) {
    std::string why;
    EXPECT_EQ(CResourceModule::Parse(module.dump(), &why, QuarvelResourceRequirements()), nullptr);
    return why;
}

class CurrentModule : public ::testing::Test {
protected:
    void TearDown() override { AfxSetResourceHandle(nullptr); }
};
}  // namespace

TEST(BuiltInModule, HoldsEveryStringWithItsExactText) {
    const CResourceModule& m = CResourceModule::BuiltIn();
    EXPECT_EQ(m.Language(), "en");
    std::vector<UINT> ids;
    for (const auto& [id, text] : kEnglish) {
        ids.push_back(id);
        ASSERT_NE(m.FindString(id), nullptr) << id;
        EXPECT_EQ(*m.FindString(id), text) << id;
    }
    EXPECT_EQ(m.StringIds(), ids);
    EXPECT_EQ(m.FindString(123), nullptr);
}

TEST(BuiltInModule, ConnectionDialogMatchesItsTemplate) {
    const DialogTemplate* dlg = CResourceModule::BuiltIn().FindDialog(IDD_SELCOM);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->caption, u"Connection");
    EXPECT_EQ(std::make_pair(dlg->cx, dlg->cy), std::make_pair(232, 60));
    EXPECT_EQ(dlg->fontName, u"MS Sans Serif");
    EXPECT_EQ(dlg->fontSize, 8);
    EXPECT_EQ(dlg->styles, Styles({"popup", "caption", "sysmenu", "modalframe"}));
    struct Expected {
        int id;
        const char* kind;
        std::u16string text;
        int x, y, cx, cy;
        std::vector<std::string> styles;
    };
    const Expected expected[] = {
        {1, "defbutton", u"OK", 173, 16, 50, 14, Styles({"tabstop"})},
        {2, "button", u"Cancel", 173, 34, 50, 14, Styles({"tabstop"})},
        {7005, "listbox", u"", 90, 18, 72, 30,
         Styles({"border", "vscroll", "tabstop", "notify", "nointegralheight"})},
        {-1, "static", u"Speed", 91, 5, 65, 8, {}},
        {-1, "static", u"Port", 12, 5, 66, 8, {}},
        {1022, "combobox", u"", 12, 18, 72, 66, Styles({"dropdownlist", "vscroll", "tabstop"})},
    };
    ASSERT_EQ(dlg->controls.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ControlTemplate& c = dlg->controls[i];
        const Expected& e = expected[i];
        EXPECT_EQ(c.id, e.id) << i;
        EXPECT_EQ(c.kind, e.kind) << i;
        EXPECT_EQ(c.text, e.text) << i;
        EXPECT_EQ(std::vector<int>({c.x, c.y, c.cx, c.cy}), std::vector<int>({e.x, e.y, e.cx, e.cy})) << i;
        EXPECT_EQ(c.styles, e.styles) << i;
    }
}

TEST(BuiltInModule, MainDialogAndAboutBoxMatchTheirTemplates) {
    const DialogTemplate* main = CResourceModule::BuiltIn().FindDialog(IDD_QUARVEL_DIALOG);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->caption, u"Quarvel non writable");
    // The design's 334 x 198, with the left column 56 units wider so that the longest texts a tool sends
    // (19, 20, 14 and 22 characters) show whole; everything right of it moved along.
    EXPECT_EQ(std::make_pair(main->cx, main->cy), std::make_pair(334 + 56, 198));
    EXPECT_EQ(main->fontName, u"MS Shell Dlg");
    EXPECT_EQ(main->controls.size(), 27u);
    int edits = 0;
    for (const ControlTemplate& c : main->controls) {
        if (c.kind != "edit") continue;
        ++edits;
        EXPECT_EQ(c.styles, Styles({"border", "readonly", "autohscroll", "tabstop"})) << c.id;
    }
    EXPECT_EQ(edits, 10);
    for (const ControlTemplate& c : main->controls) EXPECT_NE(c.kind, "defbutton") << c.id;
    const ControlTemplate* cycle = Control(*main, IDC_CYCLE_COUNTER);
    ASSERT_NE(cycle, nullptr);
    EXPECT_EQ(std::vector<int>({cycle->x, cycle->y, cycle->cx, cycle->cy}),
              std::vector<int>({240 + 56, 139, 78, 12}));
    const ControlTemplate* firmware = Control(*main, IDC_FIRMWARE_VERSION);
    ASSERT_NE(firmware, nullptr);
    EXPECT_EQ(firmware->cx, 96 + 56);
    EXPECT_EQ(Control(*main, ID_HELP)->text, u"&Help");
    EXPECT_EQ(Control(*main, IDOK)->text, u"Exit");
    EXPECT_EQ(main->controls.front().text, u" Tool ");

    const DialogTemplate* about = CResourceModule::BuiltIn().FindDialog(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->caption, u"About Quarvel");
    EXPECT_EQ(std::make_pair(about->cx, about->cy), std::make_pair(235, 55));
    ASSERT_EQ(about->controls.size(), 3u);
    EXPECT_EQ(about->controls[0].kind, "icon");
    EXPECT_EQ(about->controls[0].text, u"128");
    EXPECT_EQ(Control(*about, IDC_VERSION_LABEL)->text, u"Quarvel Version 1.1");
    EXPECT_EQ(Control(*about, IDOK)->kind, "defbutton");
}

TEST(BuiltInModule, IconHasSixteenAndThirtyTwoPixelImages) {
    const std::vector<IconImage>* icon = CResourceModule::BuiltIn().FindIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(icon->size(), 2u);
    EXPECT_EQ((*icon)[0].size, 16);
    EXPECT_EQ((*icon)[1].size, 32);
    // Colour type 6 (RGBA), 8 bits per channel.
    for (const IconImage& image : *icon) {
        EXPECT_EQ(image.png[24], 8);
        EXPECT_EQ(image.png[25], 6);
    }
}

TEST_F(CurrentModule, EachPackReplacesEveryLookupAndCarriesTheSameIds) {
    const CResourceModule& english = CResourceModule::BuiltIn();
    for (const char* lang : {"fr", "it", "bg"}) {
        SCOPED_TRACE(lang);
        std::string why;
        std::shared_ptr<const CResourceModule> pack = CResourceModule::LoadFile(
            SourcePath(std::string("resources/lang/") + lang + ".json"), &why, QuarvelResourceRequirements());
        ASSERT_NE(pack, nullptr) << why;
        EXPECT_EQ(pack->Language(), lang);
        EXPECT_EQ(pack->StringIds(), english.StringIds());
        EXPECT_EQ(pack->DialogIds(), english.DialogIds());
        EXPECT_EQ(pack->IconIds(), english.IconIds());
        for (int id : english.DialogIds()) {
            const auto& a = english.FindDialog(id)->controls;
            const auto& b = pack->FindDialog(id)->controls;
            ASSERT_EQ(a.size(), b.size()) << id;
            for (std::size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i].id, b[i].id);
                EXPECT_EQ(a[i].kind, b[i].kind);
                EXPECT_EQ(a[i].styles, b[i].styles);
            }
        }
        AfxSetResourceHandle(pack);
        EXPECT_EQ(&AfxGetResourceHandle(), pack.get());
        // Every text is the pack's own; a few words are the same in French ("Date", "Signature").
        const std::set<UINT> same =
            lang == std::string("fr") ? std::set<UINT>{141, 207, 214} : std::set<UINT>{};
        for (UINT id : english.StringIds()) {
            if (same.count(id)) continue;
            EXPECT_NE(LoadStringW(id), *english.FindString(id)) << id;
        }
        AfxSetResourceHandle(nullptr);
        EXPECT_EQ(&AfxGetResourceHandle(), &english);
        EXPECT_EQ(LoadStringW(IDS_CONNECT), u"Connect");
    }
}

// A pack made before the history existed (no strings from 140 on) loads, and takes each of those from the
// built-in module; the application's own table comes from the pack alone.
TEST_F(CurrentModule, AStringAddedAfterThePackWasMadeComesFromTheBuiltInModule) {
    json module = BuiltInJson();
    module["language"] = "xx";
    for (auto it = module["strings"].begin(); it != module["strings"].end();) {
        it = std::stoi(it.key()) >= 140 ? module["strings"].erase(it) : std::next(it);
    }
    module["strings"]["103"] = "Verbinden";
    std::shared_ptr<const CResourceModule> pack =
        CResourceModule::Parse(module.dump(), nullptr, QuarvelResourceRequirements());
    ASSERT_NE(pack, nullptr);
    AfxSetResourceHandle(pack);
    EXPECT_EQ(LoadStringW(IDS_CONNECT), u"Verbinden");
    EXPECT_EQ(LoadStringW(IDS_HISTORY_COL_DATE), u"Date");
    EXPECT_EQ(LoadStringW(IDS_FW_FILE_DISK_FULL), u"Disk full while accessing %1.");
    EXPECT_EQ(LoadStringW(60000), u"");  // in neither module
}

TEST_F(CurrentModule, ReadersOnOtherThreadsSeeWholeModulesWhileItSwitches) {
    std::shared_ptr<const CResourceModule> pack = CResourceModule::LoadFile(
        SourcePath("resources/lang/fr.json"), nullptr, QuarvelResourceRequirements());
    ASSERT_NE(pack, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const CString text = LoadStringW(IDS_CONNECT);
            if (text != u"Connect" && text != u"Connecter") ++odd;
        }
    });
    for (int i = 0; i < 2000; ++i) AfxSetResourceHandle(i % 2 ? nullptr : pack);
    stop = true;
    reader.join();
    EXPECT_EQ(odd.load(), 0);
}

TEST(ResourceModuleParse, RefusesIncompleteModules) {
    json m = BuiltInJson();
    m["dialogs"].erase("7000");
    EXPECT_NE(Why(m).find("7000"), std::string::npos);

    m = BuiltInJson();
    m["icons"].erase("128");
    EXPECT_NE(Why(m).find("icon 128"), std::string::npos);

    m = BuiltInJson();
    auto& controls = m["dialogs"]["7000"]["controls"];
    controls.erase(controls.begin() + 5);  // the Port list 1022
    EXPECT_NE(Why(m).find("1022"), std::string::npos);

    m = BuiltInJson();
    m["dialogs"]["100"]["controls"][0]["text"] = "129";  // an icon control naming no icon
    Why(m);

    m = BuiltInJson();
    m.erase("language");
    Why(m);

    // Every string of the application's table, present and not empty: a blank label is no translation.
    for (const char* id : {"101", "111", "126", "135"}) {
        m = BuiltInJson();
        m["strings"].erase(id);
        EXPECT_NE(Why(m).find(std::string("string ") + id), std::string::npos) << id;
        m["strings"][id] = "";
        EXPECT_NE(Why(m).find(std::string("string ") + id), std::string::npos) << id;
    }
    m = BuiltInJson();
    m.erase("strings");
    EXPECT_NE(Why(m).find("string 101"), std::string::npos);
}

TEST(ResourceModuleParse, RefusesWrongTypesAndOutOfRangeValues) {
    const std::vector<std::pair<std::string, json>> patches = {
        {"/strings/101", 101},
        {"/strings/101", json::array()},
        {"/dialogs/7000/size", "232x60"},
        {"/dialogs/7000/size", {232}},
        {"/dialogs/7000/size", {232, 0}},
        {"/dialogs/7000/controls/0/rect", {173, 16, 50}},
        {"/dialogs/7000/controls/0/rect/0", 1.5},
        {"/dialogs/7000/controls/0/rect/0", 18446744073709551615ull},
        {"/dialogs/7000/controls/0/rect/2", -1},
        {"/dialogs/7000/controls/0/id", 4294967297ll},
        {"/dialogs/7000/controls/0/id", "1"},
        {"/dialogs/7000/controls/1/id", 1},  // two controls with id 1
        {"/dialogs/7000/controls/0/kind", "slider"},
        {"/dialogs/7000/controls/0/styles", "tabstop"},
        {"/dialogs/7000/controls/0/styles/0", "Tab Stop"},
        {"/dialogs/7000/font/size", 1000},
        {"/dialogs/7000/caption", nullptr},
        {"/dialogs/7000/controls", json::object()},
        {"/icons/128/0/size", 17},
        {"/icons/128/0/png", "not*base64"},
        {"/icons/128/0/png", "AAAA"},
        {"/icons/128", json::array()},
        {"/format", 2},
        {"/strings", json::array()},
    };
    for (const auto& [pointer, value] : patches) {
        json m = BuiltInJson();
        m[json::json_pointer(pointer)] = value;
        EXPECT_FALSE(Why(m).empty()) << pointer << " = " << value.dump();
    }
    for (const char* key : {"0101", "0", "65536", "-5", " 101", "abc"}) {
        json m = BuiltInJson();
        m["strings"][key] = "x";
        EXPECT_FALSE(Why(m).empty()) << key;
    }
}

TEST(ResourceModuleParse, RefusesHostileText) {
    std::string why;
    EXPECT_EQ(CResourceModule::Parse("", &why, QuarvelResourceRequirements()), nullptr);
    EXPECT_EQ(CResourceModule::Parse("{\"language\": \"en\",", &why, QuarvelResourceRequirements()), nullptr);
    EXPECT_EQ(CResourceModule::Parse("[1, 2, 3]", &why, QuarvelResourceRequirements()), nullptr);
    EXPECT_EQ(CResourceModule::Parse(std::string(100000, '[') + std::string(100000, ']'), &why,
                                     QuarvelResourceRequirements()),
              nullptr);
    EXPECT_EQ(why, "nesting too deep");
    EXPECT_EQ(CResourceModule::Parse(std::string(ResourceLimits::kMaxFileBytes + 1, ' '), &why,
                                     QuarvelResourceRequirements()),
              nullptr);

    json m = BuiltInJson();
    m["strings"]["101"] = std::string(ResourceLimits::kMaxStringBytes + 1, 'x');
    EXPECT_NE(Why(m).find("too long"), std::string::npos);

    // Invalid UTF-8 inside a string is refused by the JSON reader or by the conversion.
    std::string text = BuiltInJson().dump();
    const auto at = text.find("&About ");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 1, "\xC3\x28");
    EXPECT_EQ(CResourceModule::Parse(text, &why, QuarvelResourceRequirements()), nullptr);
    EXPECT_EQ(CResourceModule::Parse(std::string("{\"language\":\"en\",\"x\":1e99999}"), &why,
                                     QuarvelResourceRequirements()),
              nullptr);
}

TEST(ResourceModuleLoadFile, RefusesWhatCannotBeRead) {
    std::string why;
    EXPECT_EQ(CResourceModule::LoadFile("/nonexistent/quarvel/fr.json", &why, QuarvelResourceRequirements()),
              nullptr);
    EXPECT_NE(why.find("/nonexistent/quarvel/fr.json"), std::string::npos);
    EXPECT_EQ(CResourceModule::LoadFile(SourcePath("resources"), &why, QuarvelResourceRequirements()),
              nullptr);  // a directory
    EXPECT_EQ(CResourceModule::LoadFile("/dev/zero", &why, QuarvelResourceRequirements()),
              nullptr);  // never read forever
    EXPECT_NE(
        CResourceModule::LoadFile(SourcePath("resources/builtin.json"), &why, QuarvelResourceRequirements()),
        nullptr)
        << why;
}

TEST(FormatString, ReplacesPlaceholders) {
    EXPECT_EQ(AfxFormatString2(u"Enter an integer between %1 and %2.", u"0", u"18001"),
              u"Enter an integer between 0 and 18001.");
    EXPECT_EQ(AfxFormatString2(u"%1 was not found. %% %3 %", u"/tmp/a"), u"/tmp/a was not found. %% %3 %");
}
