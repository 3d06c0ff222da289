// render-dialogs OUTDIR [LANGDIR]: builds each dialog of the built-in module and of every language
// pack (LANGDIR/*.json, by default the source tree's resources/lang) with sample contents, grabs it
// offscreen and writes OUTDIR/<language>-<dialog id>.png, with a strip showing the caption on top.
// For the documents and for reviewing translated layouts. Exit status 0 when every picture was written.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "framework/afx.h"
#include "framework/list_ctrl.h"
#include "framework/qt_string.h"
#include "ids/resource_requirements.h"
#include "serial/dialog/sel_com_dlg.h"

namespace {

// Fills a dialog with the kind of contents it shows in use, then grabs it and ends.
class SampleDialog : public CDialog {
public:
    SampleDialog(int id, QString file) : CDialog(static_cast<UINT>(id)), m_id(id), m_file(std::move(file)) {}
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        Fill();
        // Grabbed from the event loop, once the window is shown and laid out.
        QTimer::singleShot(0, GetSafeHwnd(), [this] {
            m_ok = Save();
            EndDialog(IDOK);
        });
        return TRUE;
    }
    bool ok() const { return m_ok; }

private:
    void Fill() {
        if (m_id == IDD_SELCOM) {
            for (const char16_t* port : {u"COM1", u"COM3", u"COM33"}) {
                SendDlgItemMessage(IDC_PORT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(port));
            }
            SendDlgItemMessage(IDC_PORT_LIST, CB_SETCURSEL, 1);
            for (const char16_t* speed : CSelComDlg::kSpeeds) {
                SendDlgItemMessage(IDC_SPEED_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(speed));
            }
            SendDlgItemMessage(IDC_SPEED_LIST, LB_SETCURSEL, 9);
        } else if (m_id == IDD_QUARVEL_DIALOG) {
            SetWindowText(u"Quarvel");
            const std::pair<int, const char16_t*> values[] = {
                {IDC_TOOL_MODEL, u"RK-9"},         {IDC_TOOL_SERIAL, u"T-417"},
                {IDC_CONTROLLER_SERIAL, u"C-981"}, {IDC_FIRMWARE_VERSION, u"1.04"},
                {IDC_POSITION, u"2.71"},           {IDC_FORCE, u"0.45"},
                {IDC_TOTAL_COUNTER, u"873"},       {IDC_CYCLE_COUNTER, u"152"}};
            for (const auto& [id, text] : values) SetDlgItemText(id, text);
            SetDlgItemText(IDC_RESULT, LoadStringW(IDS_RESULT_BREAKUP));
            SetDlgItemText(IDC_DIRECTION, LoadStringW(IDS_DIRECTION_FORWARD));
            SetDlgItemText(IDC_CONNECT, LoadStringW(IDS_DISCONNECT));
            if (CWnd* help = GetDlgItem(ID_HELP)) help->ShowWindow(SW_HIDE);
        } else if (m_id == IDD_HISTORY) {
            CListCtrl list(GetDlgItem(IDC_HISTORY_LIST));
            list.SetColumns({LoadStringW(IDS_HISTORY_COL_DATE), LoadStringW(IDS_HISTORY_COL_TOOL_SERIAL),
                             LoadStringW(IDS_HISTORY_COL_MODEL), LoadStringW(IDS_HISTORY_COL_CYCLES),
                             LoadStringW(IDS_HISTORY_COL_TOTAL), LoadStringW(IDS_HISTORY_COL_RESULT)});
            list.AddItem({u"2026-12-09T15:41:49Z", u"T-417", u"RK-9 Crimp 6mm2", u"152", u"873",
                          LoadStringW(IDS_RESULT_BREAKUP)});
            list.AddItem({u"2026-12-10T09:12:03Z", u"T-417", u"RK-9 Crimp 6mm2", u"75", u"1373",
                          LoadStringW(IDS_RESULT_SUCCESS)});
            list.FitColumns();
            SendDlgItemMessage(IDC_HISTORY_THIS_TOOL, BM_SETCHECK, BST_CHECKED);
            SetDlgItemText(IDC_HISTORY_STATUS, LoadStringW(IDS_HISTORY_NOT_KEPT));
        } else if (m_id == IDD_ABOUTBOX) {
            SetWindowText(u"Quarvel");
            SetDlgItemText(IDC_VERSION_LABEL, u"Quarvel 1.2");
        }
    }

    bool Save() {
        QWidget* window = GetSafeHwnd();
        const QImage client = window->grab().toImage();
        const int strip = window->fontMetrics().height() + 10;
        QImage image(client.width(), client.height() + strip, QImage::Format_ARGB32);
        image.fill(QColor(0x3c, 0x5a, 0x8c));
        QPainter painter(&image);
        painter.setPen(Qt::white);
        QFont font = window->font();
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(8, 0, client.width() - 16, strip), Qt::AlignVCenter | Qt::AlignLeft,
                         window->windowTitle());
        painter.drawImage(0, strip, client);
        painter.end();
        return image.save(m_file, "PNG");
    }

    int m_id;
    QString m_file;
    bool m_ok = false;
};

bool RenderAll(const QString& language, const QDir& out) {
    bool ok = true;
    for (int id : {IDD_QUARVEL_DIALOG, IDD_ABOUTBOX, IDD_SELCOM, IDD_HISTORY}) {
        const QString file = out.filePath(QStringLiteral("%1-%2.png").arg(language).arg(id));
        SampleDialog dlg(id, file);
        if (dlg.DoModal() != IDOK || !dlg.ok()) {
            std::fprintf(stderr, "render-dialogs: %s: dialog %d could not be drawn\n", qPrintable(language),
                         id);
            ok = false;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    constexpr const char* kUsage =
        "usage: render-dialogs OUTDIR [LANGDIR]\n"
        "Draws every dialog in English and in each language pack of LANGDIR (default: the source tree's\n"
        "resources/lang) to OUTDIR/<language>-<dialog id>.png.\n";
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // An option is never taken for a folder to draw into.
    if (argc < 2 || argc > 3 || argv[1][0] == '-' || (argc == 3 && argv[2][0] == '-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    CWinApp app(u"Quarvel");
    app.UseQtApplication();

    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "render-dialogs: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = RenderAll(QStringLiteral("en"), out);
    const QDir packs(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(QUARVEL_LANG_SOURCE_DIR));
    for (const QString& name : packs.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        std::string error;
        auto module = CResourceModule::LoadFile(packs.filePath(name).toStdString(), &error,
                                                QuarvelResourceRequirements());
        if (!module) {
            std::fprintf(stderr, "render-dialogs: %s refused: %s\n", qPrintable(name), error.c_str());
            ok = false;
            continue;
        }
        const QString language = QString::fromStdString(module->Language());
        AfxSetResourceHandle(std::move(module));
        ok = RenderAll(language.isEmpty() ? QFileInfo(name).completeBaseName() : language, out) && ok;
    }
    AfxSetResourceHandle(nullptr);
    return ok ? 0 : 1;
}
