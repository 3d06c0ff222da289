// The main of the application's GUI tests on the Win32 backend: the common controls and the answerer that
// fails a test on any unexpected message box; each test builds its own CQuarvelApp.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "framework/message_box.h"
#include "framework/win32_window.h"

void InstallFailingMessageBoxAnswerer() {
    SetMessageBoxAnswerer([](const MessageBoxRequest& request) {
        ADD_FAILURE() << "unexpected message box: " << std::string(request.text.begin(), request.text.end());
        return IDOK;
    });
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    std::setlocale(LC_NUMERIC, "C");
    InstallFailingMessageBoxAnswerer();
    return RUN_ALL_TESTS();
}
