#include "framework/win_app.h"

#include <QApplication>
#include <QFileInfo>

#include <clocale>

#include "framework/posted_message.h"
#include "framework/qt_string.h"

namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp(const char16_t* appName) {
    if (appName != nullptr) m_pszAppName = appName;
    g_app = this;
}

CWinApp::~CWinApp() {
    SetMainWindow(nullptr);
    m_dispatcher.reset();
    if (g_app == this) g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

void CWinApp::UseQtApplication() {
    if (m_pszAppName.empty()) {
        // The executable's file name without its extension ("quarvel" for /usr/bin/quarvel).
        const QStringList args = QCoreApplication::arguments();
        const QString program = args.isEmpty() ? QCoreApplication::applicationFilePath() : args.front();
        m_pszAppName = ToCString(QFileInfo(program).completeBaseName());
    }
    if (!m_dispatcher) m_dispatcher = std::make_unique<PostedMessageDispatcher>(*this);
}

int CWinApp::Run(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    // Modal dialogs and message boxes run nested loops; closing the last visible window must not
    // make Qt end all of them.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt adopts the user's locale; numbers in dialogs and reports are always written with '.'.
    std::setlocale(LC_NUMERIC, "C");
    UseQtApplication();
    // A program whose InitInstance returns TRUE keeps running only while its main window exists.
    if (InitInstance() && m_pMainWnd != nullptr && m_pMainWnd->GetSafeHwnd() != nullptr) {
        QApplication::exec();
    }
    const int result = ExitInstance();
    SetMainWindow(nullptr);
    m_dispatcher.reset();  // before the Qt application goes
    return result;
}

void CWinApp::PostMessageW(UINT message, WPARAM wParam, LPARAM lParam) {
    // Called under the main-window lock of platform/main_window.cpp, which also guards the
    // dispatcher's lifetime: the dispatcher is removed only after SetMainWindow(nullptr).
    if (m_dispatcher) m_dispatcher->Post(message, wParam, lParam);
}
