// Messages posted from worker threads to the main window: handled on the UI thread, also inside
// nested loops, and dropped without harm once the window is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/afx.h"
#include "framework/modal_helpers.h"
#include "platform/threads/main_window.h"

namespace {

constexpr UINT WM_SESSION_STATUS = 0x1788;
constexpr UINT WM_LINK_LOST = 0x801;

DialogTemplate MainTemplate() {
    DialogTemplate t;
    t.id = 9002;
    t.caption = u"Main";
    t.cx = 120;
    t.cy = 40;
    t.styles = {"caption", "sysmenu"};
    t.controls = {{1001, "button", u"Connect", 10, 10, 50, 14, {"tabstop"}}};
    return t;
}

// Makes a dialog the application's main window for one test.
class MainWindowScope {
public:
    explicit MainWindowScope(CWnd* window) { AfxGetApp()->m_pMainWnd = window; }
    ~MainWindowScope() { AfxGetApp()->m_pMainWnd = nullptr; }
};

TEST(PostedMessages, MainWindowExistsExactlyWhileTheDialogHasItsWindow) {
    ModalDeadline deadline;
    CDialog dlg(MainTemplate());
    MainWindowScope scope(&dlg);
    EXPECT_FALSE(HasMainWindow());
    bool during = false;
    WhenModal([&](TestWindow) {
        during = HasMainWindow();
        dlg.EndDialog(IDOK);
    });
    dlg.DoModal();
    EXPECT_TRUE(during);
    EXPECT_FALSE(HasMainWindow());
    EXPECT_FALSE(PostToMainWindow(WM_LINK_LOST, 0, 0));
}

TEST(PostedMessages, WorkerPostIsHandledOnTheUiThreadWithItsArguments) {
    ModalDeadline deadline;
    CDialog dlg(MainTemplate());
    MainWindowScope scope(&dlg);
    std::vector<std::pair<WPARAM, LPARAM>> seen;
    std::thread::id handlerThread;
    dlg.MapMessage(WM_SESSION_STATUS, [&](WPARAM w, LPARAM l) -> LRESULT {
        seen.emplace_back(w, l);
        handlerThread = std::this_thread::get_id();
        dlg.EndDialog(IDOK);
        return 0;
    });
    WhenModal([&](TestWindow) {
        std::thread worker([] { PostToMainWindow(WM_SESSION_STATUS, 5, 77); });
        worker.join();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(seen, (std::vector<std::pair<WPARAM, LPARAM>>{{5, 77}}));
    EXPECT_EQ(handlerThread, std::this_thread::get_id());  // the test runs on the UI thread
}

TEST(PostedMessages, AMessagePostedWhileAMessageBoxIsOpenIsHandledInsideIt) {
    ModalDeadline deadline;
    CDialog dlg(MainTemplate());
    MainWindowScope scope(&dlg);
    bool boxOpen = false;
    bool handledWhileOpen = false;
    dlg.MapMessage(WM_LINK_LOST, [&](WPARAM, LPARAM) -> LRESULT {
        handledWhileOpen = boxOpen;
        return 0;
    });
    dlg.MapCommand(1001, [&] {
        boxOpen = true;
        AfxMessageBox(IDS_LINK_NOT_ESTABLISHED);
        boxOpen = false;
        dlg.EndDialog(IDOK);
    });
    MessageBoxRecorder boxes([&](const MessageBoxRequest&) {
        std::thread worker([] { PostToMainWindow(WM_LINK_LOST, 0, 0); });
        worker.join();
        EXPECT_TRUE(WaitUntil([&] { return handledWhileOpen; }));
        return IDOK;
    });
    WhenModal([&](TestWindow) { dlg.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0); });
    dlg.DoModal();
    EXPECT_TRUE(handledWhileOpen);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

#ifdef _WIN32
TEST(PostedMessages, TheSystemsMessageBoxDeliversPostsWhileItIsOpen) {
    ModalDeadline deadline;
    CDialog dlg(MainTemplate());
    MainWindowScope scope(&dlg);
    bool boxOpen = false;
    bool handledWhileOpen = false, seenByTheBox = false;
    dlg.MapMessage(WM_LINK_LOST, [&](WPARAM, LPARAM) -> LRESULT {
        handledWhileOpen = boxOpen;
        return 0;
    });
    dlg.MapCommand(1001, [&] {
        SetMessageBoxAnswerer(nullptr);
        WhenModal([&](TestWindow) {
            std::thread worker([] { PostToMainWindow(WM_LINK_LOST, 0, 0); });
            worker.join();
            // A timer comes after every posted message: the next step sees what the box's loop delivered.
            WhenModal([&](TestWindow box) {
                seenByTheBox = handledWhileOpen;
                Click(box, IDOK);
            });
        });
        boxOpen = true;
        AfxMessageBox(IDS_LINK_NOT_ESTABLISHED);
        boxOpen = false;
        InstallFailingMessageBoxAnswerer();
        dlg.EndDialog(IDOK);
    });
    WhenModal([&](TestWindow) { dlg.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0); });
    dlg.DoModal();
    EXPECT_TRUE(seenByTheBox);
}
#endif

TEST(PostedMessages, PostsRacingTheWindowsDestructionAreDroppedHarmlessly) {
    ModalDeadline deadline;
    auto dlg = std::make_unique<CDialog>(MainTemplate());
    MainWindowScope scope(dlg.get());
    int handled = 0;
    std::atomic<int> posted{0};
    dlg->MapMessage(WM_LINK_LOST, [&](WPARAM, LPARAM) -> LRESULT {
        if (++handled == 3) dlg->EndDialog(IDOK);
        return 0;
    });
    std::thread worker;
    WhenModal([&](TestWindow) {
        // Keeps posting while the UI thread ends the dialog and destroys window and object.
        worker = std::thread([&] {
            for (int i = 0; i < 20000; ++i) {
                if (PostToMainWindow(WM_LINK_LOST, 0, 0)) ++posted;
            }
        });
    });
    dlg->DoModal();
    const int handledAtEnd = handled;
    dlg.reset();
    EXPECT_EQ(AfxGetApp()->m_pMainWnd, nullptr);  // the main window pointer went with the object
    worker.join();
    ProcessPending();
    EXPECT_EQ(handled, handledAtEnd);
    EXPECT_GE(posted, 3);
}

// Posts in OnInitDialog and ends there, so the window goes before any loop could deliver the post.
class PostsAndEndsInInit : public CDialog {
public:
    PostsAndEndsInInit() : CDialog(MainTemplate()) {
        MapMessage(WM_SESSION_STATUS, [this](WPARAM, LPARAM) -> LRESULT { return ++handled; });
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        posted = PostToMainWindow(WM_SESSION_STATUS, 2, 0);
        EndDialog(IDOK);
        return TRUE;
    }
    bool posted = false;
    int handled = 0;
};

TEST(PostedMessages, AMessageQueuedForAWindowThatHasGoneIsDropped) {
    PostsAndEndsInInit dlg;
    MainWindowScope scope(&dlg);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ProcessPending();
    EXPECT_TRUE(dlg.posted);
    EXPECT_EQ(dlg.handled, 0);
}

}  // namespace
