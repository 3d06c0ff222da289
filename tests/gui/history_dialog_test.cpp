// The History dialog from the window menu: its two views of the reads kept, Export through the Save-As
// dialog, the keyboard, and what it says when the history is switched off, damaged, or cannot keep a read.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/afx.h"
#include "gui/gui_fixture.h"
#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "support/pg_test_cluster.h"
#include "support/source_path.h"
#include "team/team_schema.h"

namespace {
struct HistoryView {
    int rows = -1;
    std::string firstSerial, firstResult, status, tooltip;
    bool thisToolEnabled = false, thisToolChecked = false, allToolsChecked = false;
};

// The view once its rows have come from the query thread (Export is enabled again then).
HistoryView Look(TestWindow modal) {
    HistoryView v;
    for (int id : {IDC_HISTORY_LIST, IDC_HISTORY_THIS_TOOL, IDC_HISTORY_ALL_TOOLS, IDC_HISTORY_STATUS}) {
        if (!HasControl(modal, id)) return v;
    }
    EXPECT_TRUE(WaitUntil([&] { return IsControlEnabled(modal, IDC_HISTORY_EXPORT); }))
        << "the view was never read";
    v.rows = ListRows(modal, IDC_HISTORY_LIST);
    if (v.rows > 0) {
        v.firstSerial = Utf16ToUtf8(ListCell(modal, IDC_HISTORY_LIST, 0, 1));
        v.firstResult = Utf16ToUtf8(ListCell(modal, IDC_HISTORY_LIST, 0, 5));
    }
    v.status = Utf16ToUtf8(ControlText(modal, IDC_HISTORY_STATUS));
    v.tooltip = Utf16ToUtf8(ToolTipOf(modal, IDC_HISTORY_STATUS));
    v.thisToolEnabled = IsControlEnabled(modal, IDC_HISTORY_THIS_TOOL);
    v.thisToolChecked = IsChecked(modal, IDC_HISTORY_THIS_TOOL);
    v.allToolsChecked = IsChecked(modal, IDC_HISTORY_ALL_TOOLS);
    return v;
}

bool StartsWith(const std::string& text, const CString& prefix) {
    return text.rfind(Utf16ToUtf8(prefix), 0) == 0;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

TEST_F(GuiTest, HistoryShowsThisToolAndAllToolsAndExportsTheViewShown) {
    StartTool();
    const std::string csv = m_home.Path() + "/fleet.csv";
    std::vector<FileDialogRequest> asked;
    HistoryView first, fleet;
    bool closedByEsc = false, readingShown = false;
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        SetFileDialogAnswerer([&](const FileDialogRequest& request) -> std::optional<CString> {
            asked.push_back(request);
            return CString(csv.begin(), csv.end());
        });
        WhenModal([&](TestWindow modal) {
            EXPECT_EQ(WindowCaption(modal), u"History \u2014 T-417");  // This tool names its tool
            first = Look(modal);
            Click(modal, IDC_HISTORY_ALL_TOOLS);
            // The click only asks for the view; the rows come from the query thread, not this one.
            readingShown = ControlText(modal, IDC_HISTORY_STATUS) == LoadStringW(IDS_HISTORY_READING) &&
                           !IsControlEnabled(modal, IDC_HISTORY_EXPORT);
            fleet = Look(modal);
            Click(modal, IDC_HISTORY_EXPORT);
            PressEscape(modal);  // a dialog that Esc left open would meet the deadline, which fails the test
            closedByEsc = true;
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
        SetFileDialogAnswerer({});
    });
    EXPECT_TRUE(closedByEsc);
    EXPECT_TRUE(readingShown);
    EXPECT_EQ(first.rows, 1);
    EXPECT_EQ(first.firstSerial, "T-417");
    EXPECT_EQ(first.firstResult, "Mechanical breakup");
    EXPECT_TRUE(first.thisToolEnabled && first.thisToolChecked && !first.allToolsChecked);
    EXPECT_EQ(first.status, "");
    EXPECT_EQ(fleet.rows, 1);
    EXPECT_TRUE(fleet.allToolsChecked && !fleet.thisToolChecked);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].defaultExtension, u"csv");
    ASSERT_EQ(asked[0].filters.size(), 1u);
    EXPECT_EQ(asked[0].filters[0], u"Comma Separated Values (*.csv)");
    const std::string written = FileText(csv);
    EXPECT_EQ(written.rfind("\xEF\xBB\xBFread_at,tool_model,tool_serial,", 0), 0u) << written;
    EXPECT_NE(written.find(",T-417,1.04,C-981,152,873,"), std::string::npos) << written;
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2);
}

// A service manager's view: the cycles since service and the state with its reason, sorted by a click on
// a header (the state: most overdue first, then the other way round), and a double-click on a tool of the
// fleet opens that tool's reads, its serial in the caption; the dialog can be made larger, the list grows.
TEST_F(GuiTest, TheFleetSortsByServiceStateAndADoubleClickOpensATool) {
    m_app->ServiceInterval = 3000;  // as the settings value gives it at start
    std::vector<std::string> states, reversed, tools;
    std::string caption;
    PixelRect grownList, movedClose, clientGrowth;
    bool shrunk = false, enterOpened = false;
    int toolRows = -1;
    bool thisTool = false;
    RunMainDialog([&](TestWindow) {
        const std::pair<char16_t, DWORD> reads[] = {{u'A', 1000}, {u'B', 9000}, {u'C', 2800}, {u'B', 9500}};
        for (const auto& [serial, total] : reads) {
            m_app->UpdateRecord([&](ToolRecord& r) {
                r.ToolSerial[0] = serial;
                r.ToolSerial[1] = 0;
                r.TotalCounter = total;
            });
            m_dlg->SendMessage(WM_SESSION_STATUS, SESSION_OK, 0);  // as a read shows and keeps it
        }
        WhenModal([&](TestWindow modal) {
            Click(modal, IDC_HISTORY_ALL_TOOLS);
            ASSERT_EQ(Look(modal).rows, 3);
            ClickListHeader(modal, IDC_HISTORY_LIST, 8);
            for (int row = 0; row < 3; ++row) {
                states.push_back(Utf16ToUtf8(ListCell(modal, IDC_HISTORY_LIST, row, 8)));
                tools.push_back(Utf16ToUtf8(ListCell(modal, IDC_HISTORY_LIST, row, 1)));
            }
            ClickListHeader(modal, IDC_HISTORY_LIST, 8);
            for (int row = 0; row < 3; ++row)
                reversed.push_back(Utf16ToUtf8(ListCell(modal, IDC_HISTORY_LIST, row, 1)));
            // The dialog grows, and the list with it; it never becomes smaller than its template.
            // (A window never grows past the screen: the client area's own growth is what the list follows.)
            const PixelRect list = ControlRect(modal, IDC_HISTORY_LIST), close = ControlRect(modal, IDCANCEL);
            const PixelRect client = ClientRect(modal);
            ResizeWindowBy(modal, 120, 80);
            const PixelRect grownClient = ClientRect(modal);
            clientGrowth = {0, 0, grownClient.width - client.width, grownClient.height - client.height};
            grownList = ControlRect(modal, IDC_HISTORY_LIST);
            grownList = {grownList.x - list.x, grownList.y - list.y, grownList.width - list.width,
                         grownList.height - list.height};
            const PixelRect moved = ControlRect(modal, IDCANCEL);
            movedClose = {moved.x - close.x, moved.y - close.y, moved.width - close.width,
                          moved.height - close.height};
            ResizeWindowBy(modal, -400, -300);
            shrunk = ControlRect(modal, IDC_HISTORY_LIST) == list;
            // Enter on the selected row (the first: A, after the second sort) opens it as a double-click
            // does.
            PressKey(modal, IDC_HISTORY_LIST, Key::Return);
            enterOpened = Look(modal).rows == 1 && IsChecked(modal, IDC_HISTORY_THIS_TOOL) &&
                          WindowCaption(modal) == u"History \u2014 A";
            Click(modal, IDC_HISTORY_ALL_TOOLS);
            Look(modal);                                     // sorted as before: A, C, B
            DoubleClickListRow(modal, IDC_HISTORY_LIST, 2);  // B, the least overdue now
            toolRows = Look(modal).rows;
            thisTool = IsChecked(modal, IDC_HISTORY_THIS_TOOL);
            caption = Utf16ToUtf8(WindowCaption(modal));
            PressEscape(modal);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    EXPECT_EQ(states, (std::vector<std::string>{"due: 9,500 cycles since service",
                                                "due soon: 2,800 of 3,000 cycles", "not due"}));
    EXPECT_EQ(tools, (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(reversed, (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_TRUE(thisTool);
    EXPECT_EQ(toolRows, 2);  // B's two reads
    EXPECT_EQ(caption, "History \u2014 B");
    EXPECT_EQ(clientGrowth.height, 80);
    EXPECT_EQ(grownList,
              (PixelRect{0, 0, clientGrowth.width, clientGrowth.height}));  // the list grows with it
    EXPECT_EQ(movedClose, (PixelRect{clientGrowth.width, clientGrowth.height, 0, 0}));  // the buttons follow
    EXPECT_TRUE(shrunk);
    EXPECT_TRUE(enterOpened);  // back to, and never below, the template's size
}

// A visit recorded in the window (Record service...) counts from the tool's last read, and the certificate
// of the selected read's visit is written through the Save-As dialog.
TEST_F(GuiTest, AVisitRecordedInTheWindowCountsAndItsCertificateIsWritten) {
    m_app->ServiceInterval = 3000;
    const std::string pdf = m_home.Path() + "/A.pdf";
    CString tool, sinceService, state;
    bool serviceOffInFleet = false;
    RunMainDialog([&](TestWindow) {
        m_app->UpdateRecord([&](ToolRecord& r) {
            r.ToolSerial[0] = u'A';
            r.ToolSerial[1] = 0;
            r.TotalCounter = 4000;
        });
        m_dlg->SendMessage(WM_SESSION_STATUS, SESSION_OK, 0);  // as a read shows and keeps it
        SetFileDialogAnswerer([&](const FileDialogRequest&) -> std::optional<CString> {
            return CString(pdf.begin(), pdf.end());
        });
        WhenModal([&](TestWindow modal) {
            ASSERT_EQ(Look(modal).rows, 1);
            WhenModal([&](TestWindow service) {
                tool = ControlText(service, IDC_SERVICE_TOOL);
                TypeText(service, IDC_SERVICE_WORK, u"new die, calibrated");
                Click(service, IDOK);
            });
            Click(modal, IDC_HISTORY_SERVICE);
            ASSERT_EQ(Look(modal).rows, 1);
            sinceService = ListCell(modal, IDC_HISTORY_LIST, 0, 7);
            state = ListCell(modal, IDC_HISTORY_LIST, 0, 8);
            Click(modal, IDC_HISTORY_CERTIFICATE);
            Click(modal, IDC_HISTORY_ALL_TOOLS);
            Look(modal);
            serviceOffInFleet = !IsControlEnabled(modal, IDC_HISTORY_SERVICE);
            PressEscape(modal);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
        SetFileDialogAnswerer({});
    });
    EXPECT_EQ(tool.rfind(u"A / ", 0), 0u) << Utf16ToUtf8(tool);
    EXPECT_EQ(sinceService, u"0");  // the visit counts from the read
    EXPECT_EQ(state, u"not due");
    EXPECT_TRUE(serviceOffInFleet);
    const std::string written = FileText(pdf);
    EXPECT_EQ(written.rfind("%PDF-", 0), 0u);
    EXPECT_GT(written.size(), 10000u);  // the fonts are in it
    std::vector<HistoryVisit> visits;
    HistoryStoreOptions store;
    store.path = m_app->HistoryWriter().Path();
    ASSERT_TRUE(CHistoryStore(store).Visits("A", visits).ok);
    ASSERT_EQ(visits.size(), 1u);
    EXPECT_EQ(visits[0].note, "new die, calibrated");
    EXPECT_EQ(visits[0].totalCounter, 4000);
}

// At its normal size the list shows every column whole, the longest result text too, in every language.
TEST_F(GuiTest, TheListShowsTheLongestResultWithoutScrolling) {
    for (const char* lang : {"en", "fr", "it", "bg"}) {
        SCOPED_TRACE(lang);
        std::shared_ptr<const CResourceModule> module;
        if (std::string(lang) != "en") {
            std::string why;
            module = CResourceModule::LoadFile(SourcePath(std::string("resources/lang/") + lang + ".json"),
                                               &why, QuarvelResourceRequirements());
            ASSERT_NE(module, nullptr) << why;
        }
        AfxSetResourceHandle(module);
        int overflow = -1;
        RunMainDialog([&](TestWindow) {
            for (DWORD flags : {2u, 3u}) {  // the two longest results
                m_app->UpdateRecord([&](ToolRecord& r) {
                    r.CycleFlags = flags;
                    r.ToolSerial[0] = static_cast<char16_t>(u'A' + flags);
                    std::u16string(u"RK-9 CRIMP 16MM2 HD").copy(r.ToolModel, 19);
                });
                m_dlg->SendMessage(WM_SESSION_STATUS, SESSION_OK, 0);  // as a read shows and keeps it
            }
            WhenModal([&](TestWindow modal) {
                Click(modal, IDC_HISTORY_ALL_TOOLS);
                const HistoryView view = Look(modal);
                EXPECT_EQ(view.rows, 2);
                overflow = ListOverflowPx(modal, IDC_HISTORY_LIST);
                Click(modal, IDCANCEL);
            });
            m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
        });
        AfxSetResourceHandle(nullptr);
        EXPECT_EQ(overflow, 0) << "the columns are wider than the list";
    }
}

TEST_F(GuiTest, HistoryOffKeepsNothingAndTheDialogSaysSo) {
    m_app->KeepHistory = false;
    StartTool();
    HistoryView before, after;
    RunMainDialog([&](TestWindow) {
        WhenModal([&](TestWindow modal) {
            before = Look(modal);
            Click(modal, IDCANCEL);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        WhenModal([&](TestWindow modal) {
            after = Look(modal);
            Click(modal, IDCANCEL);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    // No tool read yet: the fleet alone.
    EXPECT_EQ(before.rows, 0);
    EXPECT_FALSE(before.thisToolEnabled);
    EXPECT_TRUE(before.allToolsChecked);
    EXPECT_EQ(after.rows, 0);
    EXPECT_TRUE(after.thisToolEnabled && after.thisToolChecked);
    EXPECT_EQ(after.status, Utf16ToUtf8(LoadStringW(IDS_HISTORY_OFF)));
    EXPECT_FALSE(std::filesystem::exists(HistoryFile()));
}

TEST_F(GuiTest, ADamagedHistoryIsSetAsideAndTheDialogSaysSo) {
    const std::string path = HistoryFile();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    HistoryView view;
    RunMainDialog([&](TestWindow) {
        WhenModal([&](TestWindow modal) {
            view = Look(modal);
            Click(modal, IDCANCEL);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    EXPECT_EQ(view.rows, 0);
    // The line names the file set aside; its tooltip gives the whole path.
    EXPECT_NE(view.status.find("history.sqlite3.damaged-"), std::string::npos) << view.status;
    EXPECT_EQ(view.status.rfind("The history file was damaged", 0), 0u) << view.status;
    EXPECT_NE(view.tooltip.find(path + ".damaged-"), std::string::npos) << view.tooltip;
}

// A read the history could not keep (its folder is a file) is said first in the dialog.
TEST_F(GuiTest, ALostReadIsSaidInTheDialog) {
    const std::filesystem::path folder = std::filesystem::path(HistoryFile()).parent_path();
    std::filesystem::create_directories(folder.parent_path());
    std::ofstream(folder.string(), std::ios::binary) << "not a folder";
    StartTool();
    HistoryView view;
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        WhenModal([&](TestWindow modal) {
            view = Look(modal);
            Click(modal, IDCANCEL);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    EXPECT_EQ(view.rows, 0);
    EXPECT_TRUE(view.thisToolEnabled && view.thisToolChecked);
    EXPECT_TRUE(StartsWith(view.status, LoadStringW(IDS_HISTORY_NOT_KEPT))) << view.status;
}

// The team's history from the window: the Team history dialog tests a server (naming a refused password),
// keeps the server and the technician's name in the settings, the sync thread sends a read as soon as it
// is kept, and the History dialog shows the technician and the sync's state. Against the private cluster
// of the pgserver fixture, in a database of this test's own.
TEST_F(GuiTest, TheTeamDialogKeepsTheServerAndTheHistoryShowsTheSync) {
    const std::string database =
        "gui_team_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 100000000);
    {
        CPgConnection owner;
        ASSERT_FALSE(owner.Connect({testsupport::PgConninfo("quarvel_owner", "postgres")}).Failed());
        ASSERT_FALSE(owner.Exec("CREATE DATABASE " + database).Failed());
        ASSERT_FALSE(owner.Connect({testsupport::PgConninfo("quarvel_owner", database)}).Failed());
        int before = 0;
        ASSERT_FALSE(InitTeamSchema(owner, &before).Failed());
    }
    const auto onServer = [&] {
        CPgConnection admin;
        CPgResult result;
        if (admin.Connect({testsupport::PgConninfo("postgres", database)}).Failed()) return std::string("?");
        admin.Exec("SELECT COUNT(*) FROM reads", {}, &result);
        return result.Text(0, 0);
    };
    const std::string server = testsupport::PgConninfo("ann", database);
    const std::string wrong = server.substr(0, server.find(" password=")) + " password=wrong sslmode=disable";
    MakeKey();
    StartTool();
    std::string refused, connected, technicianShown, syncLine;
    HistoryView view;
    RunMainDialog([&](TestWindow) {
        WhenModal([&](TestWindow modal) {
            EXPECT_EQ(WindowCaption(modal), u"Team history");
            EXPECT_EQ(Narrow(ControlText(modal, IDC_TEAM_RESULT)), Narrow(LoadStringW(IDS_TEAM_NO_SERVER)));
            const auto test = [&](const std::string& conninfo) {
                TypeText(modal, IDC_TEAM_SERVER, CString(conninfo.begin(), conninfo.end()));
                Click(modal, IDC_TEAM_TEST);
                EXPECT_TRUE(WaitUntil(
                    [&] { return ControlText(modal, IDC_TEAM_RESULT) != LoadStringW(IDS_TEAM_CONNECTING); },
                    30000));
                return Utf16ToUtf8(ControlText(modal, IDC_TEAM_RESULT));
            };
            refused = test(wrong);
            connected = test(server);
            TypeText(modal, IDC_TEAM_TECHNICIAN, u"Ann Lee");
            Click(modal, IDOK);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_TEAM, 0);
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        EXPECT_TRUE(WaitUntil([&] { return onServer() == "1"; }, 30000))
            << "the kept read never reached the server";
        WhenModal([&](TestWindow modal) {
            view = Look(modal);
            technicianShown = Utf16ToUtf8(ListCell(modal, IDC_HISTORY_LIST, 0, 6));
            WaitUntil([&] { return ControlText(modal, IDC_HISTORY_SYNC).find(u"; 0 ") != CString::npos; },
                      10000);
            syncLine = Utf16ToUtf8(ControlText(modal, IDC_HISTORY_SYNC));
            PressEscape(modal);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    EXPECT_EQ(refused.rfind("The history server refused the user name or password: ", 0), 0u) << refused;
    EXPECT_EQ(connected.rfind("Connected: 127.0.0.1:", 0), 0u) << connected;
    EXPECT_EQ(Stored("HistoryServer"), server);
    EXPECT_EQ(Stored("Technician"), "Ann Lee");
    EXPECT_EQ(view.rows, 1);
    EXPECT_EQ(technicianShown, "Ann Lee");
    EXPECT_EQ(syncLine.rfind("Team history: last sync 20", 0), 0u) << syncLine;
    EXPECT_NE(syncLine.find("; 0 records waiting to be sent."), std::string::npos) << syncLine;
}
