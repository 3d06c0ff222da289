// The History dialog from the window menu: its two views of the reads kept, Export through the Save-As
// dialog, the keyboard, and what it says when the history is switched off.
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/afx.h"
#include "gui/gui_fixture.h"

namespace {
struct HistoryView {
    int rows = -1;
    QString firstSerial, firstResult, status;
    bool thisToolEnabled = false, thisToolChecked = false, allToolsChecked = false;
};

HistoryView Look(QWidget* modal) {
    HistoryView v;
    auto* list = Control<QTreeWidget>(modal, IDC_HISTORY_LIST);
    auto* thisTool = Control<QRadioButton>(modal, IDC_HISTORY_THIS_TOOL);
    auto* allTools = Control<QRadioButton>(modal, IDC_HISTORY_ALL_TOOLS);
    auto* status = Control<QLabel>(modal, IDC_HISTORY_STATUS);
    if (list == nullptr || thisTool == nullptr || allTools == nullptr || status == nullptr) return v;
    v.rows = list->topLevelItemCount();
    if (v.rows > 0) {
        v.firstSerial = list->topLevelItem(0)->text(1);
        v.firstResult = list->topLevelItem(0)->text(5);
    }
    v.status = status->text();
    v.thisToolEnabled = thisTool->isEnabled();
    v.thisToolChecked = thisTool->isChecked();
    v.allToolsChecked = allTools->isChecked();
    return v;
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
    bool closedByEsc = false;
    RunMainDialog([&](QWidget*) {
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        SetFileDialogAnswerer([&](const FileDialogRequest& request) -> std::optional<CString> {
            asked.push_back(request);
            return CString(csv.begin(), csv.end());
        });
        WhenModal([&](QWidget* modal) {
            EXPECT_EQ(modal->windowTitle(), QStringLiteral("History"));
            first = Look(modal);
            Control<QRadioButton>(modal, IDC_HISTORY_ALL_TOOLS)->click();
            fleet = Look(modal);
            Control<QPushButton>(modal, IDC_HISTORY_EXPORT)->click();
            QTest::keyClick(modal, Qt::Key_Escape);
            closedByEsc = true;
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
        SetFileDialogAnswerer({});
    });
    EXPECT_TRUE(closedByEsc);
    EXPECT_EQ(first.rows, 1);
    EXPECT_EQ(first.firstSerial, QStringLiteral("T-417"));
    EXPECT_EQ(first.firstResult, QStringLiteral("Mechanical breakup"));
    EXPECT_TRUE(first.thisToolEnabled && first.thisToolChecked && !first.allToolsChecked);
    EXPECT_EQ(first.status, QString());
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

TEST_F(GuiTest, HistoryOffKeepsNothingAndTheDialogSaysSo) {
    m_app->KeepHistory = false;
    StartTool();
    HistoryView before, after;
    RunMainDialog([&](QWidget*) {
        WhenModal([&](QWidget* modal) {
            before = Look(modal);
            Control<QPushButton>(modal, IDCANCEL)->click();
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
        ConnectThroughPortDialog();
        ASSERT_TRUE(WaitForButton("Disconnect"));
        WhenModal([&](QWidget* modal) {
            after = Look(modal);
            Control<QPushButton>(modal, IDCANCEL)->click();
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    // No tool read yet: the fleet alone.
    EXPECT_EQ(before.rows, 0);
    EXPECT_FALSE(before.thisToolEnabled);
    EXPECT_TRUE(before.allToolsChecked);
    EXPECT_EQ(after.rows, 0);
    EXPECT_TRUE(after.thisToolEnabled && after.thisToolChecked);
    EXPECT_EQ(after.status.toStdU16String(), LoadStringW(IDS_HISTORY_OFF));
    EXPECT_FALSE(std::filesystem::exists(m_home.Path() + "/state/quarvel/history.sqlite3"));
}

TEST_F(GuiTest, ADamagedHistoryIsSetAsideAndTheDialogSaysSo) {
    const std::string path = m_home.Path() + "/state/quarvel/history.sqlite3";
    std::filesystem::create_directories(m_home.Path() + "/state/quarvel");
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    HistoryView view;
    RunMainDialog([&](QWidget*) {
        WhenModal([&](QWidget* modal) {
            view = Look(modal);
            Control<QPushButton>(modal, IDCANCEL)->click();
        });
        m_dlg->SendMessage(WM_SYSCOMMAND, IDM_HISTORY, 0);
    });
    EXPECT_EQ(view.rows, 0);
    EXPECT_TRUE(view.status.contains(QString::fromStdString(path + ".damaged-"))) << view.status.toStdString();
    EXPECT_TRUE(view.status.startsWith(QStringLiteral("The history file was damaged"))) << view.status.toStdString();
}
