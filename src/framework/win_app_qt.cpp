// CWinApp on the Qt backend: the QApplication, its event loop and the executable's name.
#include "framework/win_app.h"

#include <QApplication>
#include <QFileInfo>

#include "framework/qt_string.h"

CString CWinApp::ExecutableName() {
    // The executable's file name without its extension ("quarvel" for /usr/bin/quarvel).
    const QStringList args = QCoreApplication::arguments();
    const QString program = args.isEmpty() ? QCoreApplication::applicationFilePath() : args.front();
    return ToCString(QFileInfo(program).completeBaseName());
}

int CWinApp::Run(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    // Modal dialogs and message boxes run nested loops; closing the last visible window must not
    // make Qt end all of them.
    QApplication::setQuitOnLastWindowClosed(false);
    return RunInstance();
}

void CWinApp::RunMessageLoop() { QApplication::exec(); }
