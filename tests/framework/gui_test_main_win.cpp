// The main of the GUI tests on the Win32 backend: the common controls, one application object for the
// run, and the answerer that fails a test on any unexpected message box.
#include <gtest/gtest.h>

#include <clocale>

#include "framework/modal_helpers.h"
#include "framework/win32_window.h"
#include "framework/win_app.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    std::setlocale(LC_NUMERIC, "C");
    CWinApp app;
    app.UseQtApplication();
    InstallFailingMessageBoxAnswerer();
    return RUN_ALL_TESTS();
}
