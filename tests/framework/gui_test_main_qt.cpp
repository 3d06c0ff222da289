// The main of the GUI tests: one offscreen Qt application and one application object for the run.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

#include "framework/modal_helpers.h"
#include "framework/win_app.h"

int main(int argc, char** argv) {
    // Test discovery runs the binary outside CTest's environment, so the platform is set here too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::setlocale(LC_NUMERIC, "C");
    CWinApp app;
    app.UseQtApplication();
    InstallFailingMessageBoxAnswerer();
    return RUN_ALL_TESTS();
}
