// Save: the file dialog's settings, both layouts byte for byte against the shared report writer, Cancel,
// a file that cannot be opened (a FIFO too), a full disk, and saving with a counter out of range.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "framework/afx.h"
#include "gui/gui_fixture.h"
#include "ids/resource_ids.h"
#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"
#include "report/report_layouts.h"
#include "support/source_path.h"

namespace {

namespace fs = std::filesystem;

// Answers the Save-As dialog with `name` (nothing: Cancel) and records what it was asked.
class FileDialogScript {
public:
    explicit FileDialogScript(std::optional<std::string> name) {
        SetFileDialogAnswerer([this, name](const FileDialogRequest& request) -> std::optional<CString> {
            requests.push_back(request);
            if (!name) return std::nullopt;
            return CString(name->begin(), name->end());
        });
    }
    ~FileDialogScript() { SetFileDialogAnswerer({}); }
    std::vector<FileDialogRequest> requests;
};

std::string Utf16Le(const CString& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

// What the shared writer produces for the record: the mark, then every piece.
std::string Expected(const ToolRecord& record, bool text) {
    std::string bytes = "\xFF\xFE";
    const ReportSink sink = [&](const char16_t* piece) { bytes += Utf16Le(piece); };
    text ? ComposeTextReport(record, sink) : ComposeCsvReport(record, sink);
    return bytes;
}

class SaveTest : public GuiTest {
protected:
    std::string Dir() const { return m_home.Path(); }
    std::string Path(const std::string& name) const { return m_home.Path() + "/" + name; }
    // The application's record shown as a good read shows it (the session's own status message), so that
    // Save writes it without asking whether to save values that were never read.
    void ShowAsRead() { m_dlg->SendMessage(WM_SESSION_STATUS, SESSION_OK, 0); }
};

// Answers Save's question about values that are not current with Yes, every other box with OK.
int YesToTheQuestion(const MessageBoxRequest& request) {
    return (request.type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
}

TEST_F(SaveTest, TheTextReportOfAReadToolMatchesTheWriterAndTheWorkedExample) {
    rk9sim::ToolProfile tool;
    tool.strToolModel = "RK-9";
    StartTool(tool);
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        FileDialogScript files(Path("report.txt"));
        Press(IDC_SAVE);
        ASSERT_EQ(files.requests.size(), 1u);
        const FileDialogRequest& asked = files.requests[0];
        EXPECT_TRUE(asked.save);
        EXPECT_EQ(asked.defaultExtension, u"txt");
        EXPECT_EQ(asked.initialName, u"*.txt");
        EXPECT_EQ(asked.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
        ASSERT_EQ(asked.filters.size(), 2u);
        EXPECT_EQ(asked.filters[0], u"Text Files (*.txt)");
        EXPECT_EQ(asked.filters[1], u"MS Excel Comma Separated Values (*.csv)");
    });
    const std::string written = ReadWholeFile(Path("report.txt"));
    EXPECT_EQ(written, Expected(m_app->SnapshotRecord(), true));
    const std::string example =
        "Tool : RK-9\nTool Serial Number : T-417\nController Firmware Version : 1.04\n"
        "Controller Serial Number : C-981\nCycle Counter : 152\nTotal Counter : 873\n"
        "Stop position : 2.710000\nLast force recorded : 0.450000\nStop conditions : Mechanical breakup\n"
        "Direction : Forward\n";
    EXPECT_EQ(written, "\xFF\xFE" + Utf16Le(CString(example.begin(), example.end())));
}

TEST_F(SaveTest, AnyOtherExtensionGetsTheCommaSeparatedLayout) {
    RunMainDialog([&](TestWindow) {
        m_app->UpdateRecord([](ToolRecord& r) {
            r.PositionCounts = 4662;  // the report's own rounding: 50.630000
            r.CycleFlags = 2;
        });
        ShowAsRead();
        for (const char* name : {"report.csv", "REPORT.TXT", "report.dat"}) {
            FileDialogScript files(Path(name));
            Press(IDC_SAVE);
        }
        FileDialogScript files(Path("plain"));  // the dialog adds the default extension
        Press(IDC_SAVE);
    });
    const ToolRecord record = m_app->SnapshotRecord();
    for (const char* name : {"report.csv", "REPORT.TXT", "report.dat"}) {
        EXPECT_EQ(ReadWholeFile(Path(name)), Expected(record, false)) << name;
    }
    EXPECT_EQ(ReadWholeFile(Path("plain.txt")), Expected(record, true));
    EXPECT_NE(Expected(record, false).find(Utf16Le(u"50.630000")), std::string::npos);
}

TEST_F(SaveTest, TheDialogOpensInTheDocumentsFolderFirstThenWhereTheLastReportWent) {
    fs::create_directories(Path("Docs"));
    fs::create_directories(Path("out"));
    // The XDG user dirs of this test's configuration home name the documents folder.
    std::ofstream(Path("user-dirs.dirs")) << "XDG_DOCUMENTS_DIR=\"" << Path("Docs") << "\"\n";
    std::vector<CString> folders;
    RunMainDialog([&](TestWindow) {
        ShowAsRead();
        auto save = [&](std::optional<std::string> name) {
            FileDialogScript files(std::move(name));
            Press(IDC_SAVE);
            ASSERT_EQ(files.requests.size(), 1u);
            EXPECT_EQ(files.requests[0].initialName, u"*.txt");
            folders.push_back(files.requests[0].folder);
        };
        save(Path("out/first.txt"));
        save("second.csv");  // a bare name goes into the folder the dialog opened in
        MessageBoxRecorder boxes(IDOK);
        save(Path("no-such-dir/third.txt"));  // not saved: the folder stays
        EXPECT_EQ(boxes.boxes.size(), 1u);
        save(std::nullopt);
    });
    const auto wide = [](const std::string& path) { return CString(path.begin(), path.end()); };
    const CString out = wide(Path("out"));
#ifdef _WIN32
    // The documents folder is the user's known folder, which no file of the test's home names.
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_FALSE(folders[0].empty());
    EXPECT_NE(folders[0], out);
    folders[0] = wide(Path("Docs"));
#endif
    EXPECT_EQ(folders, (std::vector<CString>{wide(Path("Docs")), out, out, out}));
    EXPECT_TRUE(fs::exists(Path("out/second.csv")));
}

TEST_F(SaveTest, TheFileTypesAreInTheModulesLanguage) {
    std::string why;
    std::shared_ptr<const CResourceModule> french =
        CResourceModule::LoadFile(SourcePath("resources/lang/fr.json"), &why, QuarvelResourceRequirements());
    ASSERT_NE(french, nullptr) << why;
    AfxSetResourceHandle(french);  // the fixture restores the built-in module
    RunMainDialog([&](TestWindow) {
        ShowAsRead();
        FileDialogScript files(std::nullopt);
        Press(IDC_SAVE);
        ASSERT_EQ(files.requests.size(), 1u);
        const std::vector<CString> types = {u"Fichiers texte (*.txt)",
                                            u"Valeurs séparées par des virgules MS Excel (*.csv)"};
        EXPECT_EQ(files.requests[0].filters, types);
    });
}

TEST_F(SaveTest, CancelWritesNothing) {
    RunMainDialog([&](TestWindow) {
        ShowAsRead();
        FileDialogScript files(std::nullopt);
        Press(IDC_SAVE);
        EXPECT_EQ(files.requests.size(), 1u);
    });
    for (const auto& entry : fs::directory_iterator(Dir())) {
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();  // (the history's state folder is no report)
    }
}

// A missing folder, and a FIFO that nobody reads (refused at once: the window's thread never waits in open;
// Windows has no FIFOs in its file system).
TEST_F(SaveTest, AFileThatCannotBeOpenedShowsItsMessage) {
    std::vector<const char*> names = {"no-such-dir/report.txt"};
#ifndef _WIN32
    ASSERT_EQ(mkfifo(Path("fifo.txt").c_str(), 0600), 0);
    names.push_back("fifo.txt");
#endif
    for (const char* name : names) {
        RunMainDialog([&](TestWindow) {
            ShowAsRead();
            MessageBoxRecorder boxes(IDOK);
            FileDialogScript files(Path(name));
            Press(IDC_SAVE);
            ASSERT_EQ(boxes.boxes.size(), 1u) << name;
            EXPECT_EQ(boxes.boxes[0].text, u"The output file could not be opened.");
            EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
            EXPECT_FALSE(m_dlg->IsEnded());
        });
    }
}

TEST_F(SaveTest, AFullDiskShowsTheFileErrorAndTheDialogStays) {
#ifdef _WIN32
    // Windows has no always-full device. Wine's Z:\dev\full has no extension, so the Save-As dialog's
    // default one turns it into a new file in /dev (the report writer's own test uses the device).
    GTEST_SKIP() << "no always-full device that a name ending in .txt reaches";
    const std::string full = Path("full.txt");
#else
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::string full = Path("full.txt");
    fs::create_symlink("/dev/full", full);
#endif
    RunMainDialog([&](TestWindow) {
        ShowAsRead();
        MessageBoxRecorder boxes(IDOK);
        FileDialogScript files(full);
        Press(IDC_SAVE);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(Narrow(boxes.boxes[0].text), "Disk full while accessing " + full + ".");
        EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONSTOP);
        EXPECT_FALSE(m_dlg->IsEnded());
        // The dialog goes on working.
        FileDialogScript again(Path("after.txt"));
        Press(IDC_SAVE);
    });
    EXPECT_TRUE(fs::exists(Path("after.txt")));
}

TEST_F(SaveTest, ACounterOutOfRangeShowsItsMessageAndTheReportIsStillWritten) {
    RunMainDialog([&](TestWindow) {
        m_app->UpdateRecord([](ToolRecord& r) { r.CycleCounter = 20000; });
        ShowAsRead();
        MessageBoxRecorder boxes(IDOK);
        FileDialogScript files(Path("big.txt"));
        Press(IDC_SAVE);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, u"Enter an integer between 0 and 18001.");
    });
    EXPECT_NE(ReadWholeFile(Path("big.txt")).find(Utf16Le(u"Cycle Counter : 20000\n")), std::string::npos);
}

TEST_F(SaveTest, SavingWhileASessionReadsWritesTheRecordAsShown) {
    StartSlowTool(150);
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(m_app->SessionRunning);
        // Let the session store its cycle data before the save.
        ASSERT_TRUE(WaitUntil([&] { return m_app->SnapshotRecord().CycleCounter == 152; }));
        // Nothing was read yet as far as the window shows: Save asks first.
        MessageBoxRecorder boxes(YesToTheQuestion);
        FileDialogScript files(Path("during.txt"));
        Press(IDC_SAVE);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, LoadStringW(IDS_SAVE_NOT_READ));
        ASSERT_TRUE(WaitForButton("Disconnect"));
    });
    // The display still showed the zero record; the session's values were not overwritten by it.
    EXPECT_EQ(ReadWholeFile(Path("during.txt")), Expected(ToolRecord{}, true));
    EXPECT_EQ(m_app->SnapshotRecord().CycleCounter, 152u);
}

// After a session that failed half-way the window keeps the previous tool's values, while the record holds
// the failed read's cycle data: Save writes what the window shows.
TEST_F(SaveTest, AfterAFailedSecondSessionSaveWritesTheValuesShown) {
    StartTool();
    ToolRecord shown{};
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        shown = m_app->SnapshotRecord();
        {
            MessageBoxRecorder boxes(IDYES);
            Press(IDC_CONNECT);
            ASSERT_TRUE(WaitUntil([&] { return boxes.boxes.size() == 2; }));  // the question, "Disconnected"
        }
        rk9sim::ToolProfile other;
        other.nPositionCounts = 500;
        other.nForceReading = 900;
        other.nCycleFlags = 2;
        rk9sim::FaultPlan faults;
        faults.failStatus['c'] = 0xA9;
        StartTool(other, faults);
        MessageBoxRecorder boxes(IDOK);
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitUntil([&] { return boxes.boxes.size() == 1 && !m_app->SessionRunning; }));
        ASSERT_EQ(Narrow(boxes.boxes[0].text), "Link with the tool was not estabilished.");
        ASSERT_EQ(m_app->SnapshotRecord().PositionCounts, 500u);  // stored, never shown
        EXPECT_EQ(Text(IDC_POSITION), "2.71");
        // The values are the earlier read's, and the window says so: dimmed, and when that read was.
        EXPECT_EQ(m_dlg->WhatIsShown(), CQuarvelDlg::Shown::Earlier);
        EXPECT_TRUE(IsDimmed(m_window, IDC_POSITION));
        EXPECT_NE(Narrow(WindowCaption(m_window)).find("Quarvel - values of the read of "),
                  std::string::npos);
        {
            MessageBoxRecorder no(IDNO);  // Save asks first; No saves nothing
            FileDialogScript files(Path("refused.txt"));
            Press(IDC_SAVE);
            ASSERT_EQ(no.boxes.size(), 1u);
            EXPECT_EQ(Narrow(no.boxes[0].text).rfind("The values shown are those of an earlier read (", 0),
                      0u);
            EXPECT_TRUE(files.requests.empty());
        }
        MessageBoxRecorder yes(YesToTheQuestion);
        FileDialogScript files(Path("after-failure.txt"));
        Press(IDC_SAVE);
        EXPECT_EQ(yes.boxes.size(), 1u);
    });
    EXPECT_FALSE(fs::exists(Path("refused.txt")));
    EXPECT_EQ(ReadWholeFile(Path("after-failure.txt")), Expected(shown, true));
}

// A session that completes while the Save-As dialog is open updates the window first; the file then holds
// what the window shows.
TEST_F(SaveTest, ASessionThatCompletesDuringTheSaveAsDialogIsWhatTheFileHolds) {
    StartSlowTool(100);
    RunMainDialog([&](TestWindow) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(m_app->SessionRunning);
        SetFileDialogAnswerer([&](const FileDialogRequest&) -> std::optional<CString> {
            if (!WaitForButton("Disconnect")) return std::nullopt;
            const std::string name = Path("completed.txt");
            return CString(name.begin(), name.end());
        });
        MessageBoxRecorder boxes(YesToTheQuestion);  // nothing read yet when Save was pressed
        Press(IDC_SAVE);
        SetFileDialogAnswerer({});
        EXPECT_EQ(Text(IDC_TOOL_SERIAL), "T-417");
    });
    EXPECT_EQ(ReadWholeFile(Path("completed.txt")), Expected(m_app->SnapshotRecord(), true));
    EXPECT_EQ(m_app->SnapshotRecord().CycleCounter, 152u);
}

}  // namespace
