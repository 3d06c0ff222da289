// The main of the application's GUI tests on the Win32 backend: the common controls and the answerer that
// fails a test on any unexpected message box; each test builds its own CQuarvelApp.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "framework/modal_helpers.h"
#include "framework/win32_window.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    std::setlocale(LC_NUMERIC, "C");
    InstallFailingMessageBoxAnswerer();
    return RUN_ALL_TESTS();
}
