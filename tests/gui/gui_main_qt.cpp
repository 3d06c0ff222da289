// The main of the application's GUI tests: one offscreen Qt application for the run; each test builds its
// own CQuarvelApp. A message box that a test does not expect fails it.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <string>

#include "framework/modal_helpers.h"

#ifdef QUARVEL_SCREENSHOTS
#include "support/source_path.h"
void SetScreenshotDir(const char* dir);
#endif

int main(int argc, char** argv) {
#ifdef QUARVEL_SCREENSHOTS
    // The pictures are taken on the same large screen as the tests, so no dialog needs to scroll.
    const std::string screen = "offscreen:configfile=" + SourcePath("tests/gui/offscreen-screen.json");
    setenv("QT_QPA_PLATFORM", screen.c_str(), 0);
#endif
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
#ifdef QUARVEL_SCREENSHOTS
    if (argc > 1) SetScreenshotDir(argv[1]);
#endif
    QApplication qtApp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::setlocale(LC_NUMERIC, "C");
    InstallFailingMessageBoxAnswerer();
    return RUN_ALL_TESTS();
}
