// Not a test: makes the screenshots of README.md and docs/ from the real dialogs, rendered offscreen,
// against rk9-sim.
//   build/default/tests/gui/gui_screenshots docs/screenshots
#include <QApplication>
#include <QFileDialog>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/qt_translations.h"
#include "gui/gui_fixture.h"
#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"
#include "support/source_path.h"

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
// The History dialog over a small fleet, sorted by the service state (most overdue first).
TEST_F(GuiTest, HistoryScreenshot) {
    m_app->ServiceInterval = 3000;  // as the settings values give them at start
    m_app->Technician = "Ann Lee";
    m_app->StartTeamSync();  // takes the technician's name (no server: nothing else)
    StartTool();
    RunMainDialog([&](QWidget*) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        const std::pair<const char16_t*, DWORD> reads[] = {
            {u"T-520", 12000}, {u"T-611", 2800}, {u"T-417", 1373}, {u"T-520", 15500}};
        for (const auto& [serial, total] : reads) {
            m_app->UpdateRecord([&](ToolRecord& r) {
                std::u16string_view(serial).copy(r.ToolSerial, 5);
                r.ToolSerial[5] = 0;
                r.TotalCounter = total;
            });
            m_dlg->SendMessage(WM_SESSION_STATUS, SESSION_OK, 0);  // as a read shows and keeps it
        }
        WhenModal([](QWidget* history) {
            Click(history, IDC_HISTORY_ALL_TOOLS);
            ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(history, IDC_HISTORY_EXPORT); }));
            ClickListHeader(history, IDC_HISTORY_LIST, 8);
            Grab(history, "history-dialog.png");
            PressEscape(history);
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
}
// The French window menu with the Language submenu, and the Save-As dialog with Qt's French
// texts, opened in a documents folder that holds a text and a CSV report (the text filter shows one).
TEST_F(GuiTest, FrenchScreenshots) {
    std::string why;
    std::shared_ptr<const CResourceModule> french =
        CResourceModule::LoadFile(SourcePath("resources/lang/fr.json"), &why, QuarvelResourceRequirements());
    ASSERT_NE(french, nullptr) << why;
    AfxSetResourceHandle(french);
    ASSERT_TRUE(AfxLoadQtTranslations("fr"));
    // The same folder and file times at every run, so the picture changes only when the dialog does.
    const std::filesystem::path fixedHome = std::filesystem::temp_directory_path() / "quarvel-screenshots";
    std::filesystem::remove_all(fixedHome);
    const std::string documents = (fixedHome / "Documents").string();
    std::filesystem::create_directories(documents);
    const auto fixedTime = std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds(std::chrono::seconds(1796119200)));  // 2026-12-01 10:00 UTC
    for (const char* name : {"RK-9 T-417.txt", "RK-9 T-417.csv"}) {
        std::ofstream(documents + "/" + name) << "\xFF\xFE";
        std::filesystem::last_write_time(documents + "/" + name, fixedTime);
    }
    std::ofstream(m_home.Path() + "/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"" << documents << "\"\n";
    MakeKey({{"Language", "1"}});
    m_app->Language = 1;
    StartTool();
    RunMainDialog([&](QWidget* window) {
        WhenModal([](QWidget* ports) {
            if (auto* ok = Control<QPushButton>(ports, IDOK)) ok->click();
        });
        Press(IDC_CONNECT);
        ASSERT_TRUE(WaitForButton("Déconnecter"));

        auto* menuButton = window->findChild<QToolButton*>(QStringLiteral("systemMenuButton"));
        ASSERT_NE(menuButton, nullptr);
        menuButton->click();
        QMenu* menu = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu != nullptr;
        }));
        QAction* language = nullptr;  // the submenu (History... follows it)
        for (QAction* action : menu->actions()) {
            if (action->menu() != nullptr) language = action;
        }
        ASSERT_NE(language, nullptr);
        menu->setActiveAction(language);
        language->menu()->popup(menu->mapToGlobal(menu->actionGeometry(language).topRight()));
        ASSERT_TRUE(WaitUntil([&] { return language->menu()->isVisible(); }));
        const int top = menu->actionGeometry(language).top();
        QPixmap both(menu->width() + language->menu()->width(),
                     std::max(menu->height(), top + language->menu()->height()));
        both.fill(Qt::transparent);
        menu->render(&both, QPoint(0, 0));
        language->menu()->render(&both, QPoint(menu->width(), top));
        EXPECT_TRUE(both.save(QString::fromStdString(g_dir + "/window-menu-fr.png"), "PNG"));
        language->menu()->close();
        menu->close();

        WhenModal([](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
            ASSERT_NE(list, nullptr);
            WaitUntil([&] { return list->model()->rowCount(list->rootIndex()) >= 1; });
            Grab(dialog, "save-as-fr.png");
            dialog->reject();
        });
        Press(IDC_SAVE);
    });
    AfxLoadQtTranslations("en");
    AfxSetResourceHandle(nullptr);
    std::filesystem::remove_all(fixedHome);
}

}  // namespace

// Called by gui_main.cpp's main with the output folder.
void SetScreenshotDir(const char* dir) { g_dir = dir; }
