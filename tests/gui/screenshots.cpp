// Not a test: makes the README's screenshots of the real dialogs, rendered offscreen, against rk9-sim.
//   build/default/tests/gui/gui_screenshots docs/screenshots
#include <QPushButton>
#include <QWidget>

#include <string>

#include "gui/gui_fixture.h"

namespace {
std::string g_dir = "docs/screenshots";
}  // namespace

void SetScreenshotDir(const char* dir);

namespace {

void Grab(QWidget* window, const std::string& name) {
    ASSERT_NE(window, nullptr);
    const QString path = QString::fromStdString(g_dir + "/" + name);
    EXPECT_TRUE(window->grab().save(path, "PNG")) << path.toStdString();
}

TEST_F(GuiTest, Screenshots) {
    MakeKey();
    StartTool();
    RunMainDialog([&](QWidget* window) {
        WhenModal([](QWidget* ports) {
            Grab(ports, "port-dialog.png");
            if (auto* ok = Control<QPushButton>(ports, IDOK)) ok->click();
        });
        Press(IDC_CONNECT);
        ASSERT_TRUE(WaitForButton("Disconnect"));
        Grab(window, "main-dialog.png");
        WhenModal([](QWidget* about) {
            Grab(about, "about-box.png");
            if (auto* ok = Control<QPushButton>(about, IDOK)) ok->click();
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    });
}
}  // namespace

// Called by gui_main.cpp's main with the output folder.
void SetScreenshotDir(const char* dir) { g_dir = dir; }
