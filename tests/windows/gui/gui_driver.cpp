// Drives quarvel.exe from outside, as a person would, through its real Win32 controls: starts the program,
// finds its dialogs among the top-level windows of its process and presses buttons by posting WM_COMMAND
// (a handler that opens a modal dialog runs its own loop, so a sent message would not return), reads the
// controls with WM_GETTEXT and the list messages. Prints what it saw; the test script compares that with
// the Linux build's output for the same simulated tool.
// Usage: gui_driver session QUARVEL.EXE REPORT.TXT REPORT.CSV
//        gui_driver linklost QUARVEL.EXE
//        gui_driver hotplug QUARVEL.EXE FOLDER (COM7 comes and goes, see WatchPortComeAndGo)
//        gui_driver pose main|connection|about QUARVEL.EXE   (opens that dialog and holds it 15 s, for a
//        screenshot)
// <windows.h> before the headers that build on it
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kToolModel = 1000, kConnect = 1001, kToolSerial = 1002, kControllerSerial = 1003,
              kFirmware = 1004, kCycleCounter = 1005, kSave = 1006, kTotalCounter = 1008, kResult = 1014,
              kPosition = 1015, kDirection = 1016, kForce = 1017, kPortList = 1022, kAboutVersion = 1023;
constexpr int kMessageBoxText = 0xFFFF;  // the static that holds a message box's text
constexpr int kFileNameCombo = 0x47C;    // cmb13: the file name of an Explorer-style file dialog
constexpr int kFileNameEdit = 0x480;     // edt1: the same in the older layout
constexpr DWORD kWaitMs = 30000;
constexpr WPARAM kAboutCommand = 0x0010;  // IDM_ABOUTBOX, the system menu's About item

DWORD g_pid = 0;
int g_failures = 0;

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                           0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                          nullptr);
    return out;
}

std::wstring Widen(const char* text) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    return out;
}

void Check(const char* what, bool ok, const std::string& detail = {}) {
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what, detail.empty() ? "" : " ", detail.c_str());
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

// A window's text through a bounded send, so that a program that stopped answering fails the check.
std::wstring TextOf(HWND window) {
    if (window == nullptr) return L"<no window>";
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                               5000, &copied)) {
        return L"<no answer>";
    }
    return buffer;
}

std::wstring ItemText(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> ProgramWindows() {
    std::vector<HWND> found;
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid == g_pid && ::IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// What was there instead, for a failure's log.
void ListWindows() {
    ::EnumWindows(
        [](HWND window, LPARAM) -> BOOL {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            if (pid != g_pid) return TRUE;
            HWND message = ::GetDlgItem(window, kMessageBoxText);
            std::printf("window %p class %s visible %d text \"%s\"%s%s\n", static_cast<void*>(window),
                        Narrow(ClassOf(window)).c_str(), ::IsWindowVisible(window) ? 1 : 0,
                        Narrow(TextOf(window)).c_str(), message ? " message: " : "",
                        message ? Narrow(TextOf(message)).c_str() : "");
            return TRUE;
        },
        0);
}

// Waits (bounded) until one of the program's visible dialogs satisfies `match`.
HWND WaitForDialog(const std::function<bool(HWND)>& match, DWORD timeoutMs = kWaitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        for (HWND window : ProgramWindows()) {
            if (ClassOf(window) == L"#32770" && match(window)) return window;
        }
        if (::GetTickCount() - start > timeoutMs) return nullptr;
        ::Sleep(100);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(100);
    }
    return true;
}

void Press(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

HWND MessageBoxOf(HWND owner) {
    return WaitForDialog(
        [owner](HWND w) { return w != owner && ::GetDlgItem(w, kMessageBoxText) != nullptr; });
}

// The number as the Linux report's "%f" prints it, from the text the edit shows.
std::string AsReportNumber(const std::wstring& text) {
    wchar_t* end = nullptr;
    const double value = std::wcstod(text.c_str(), &end);
    if (end == text.c_str()) return "<not a number: " + Narrow(text) + ">";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return buffer;
}

// The entries of the Connection dialog's Port list.
std::vector<std::wstring> PortEntries(HWND ports) {
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(::SendMessageW(ports, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t entry[64] = {};
        if (::SendMessageW(ports, CB_GETLBTEXTLEN, i, 0) < 64) {
            ::SendMessageW(ports, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        }
        entries.emplace_back(entry);
    }
    return entries;
}

int PositionOf(HWND ports, const std::wstring& name) {
    const std::vector<std::wstring> entries = PortEntries(ports);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == name) return static_cast<int>(i);
    }
    return -1;
}

std::string Listed(HWND ports) {
    std::string listed;
    for (const std::wstring& entry : PortEntries(ports))
        listed += (listed.empty() ? "" : ",") + Narrow(entry);
    return listed;
}

bool InComOrder(const std::vector<std::wstring>& entries) {
    int last = 0;
    for (const std::wstring& entry : entries) {
        const int number = entry.size() > 3 ? std::wcstol(entry.c_str() + 3, nullptr, 10) : 0;
        if (entry.compare(0, 3, L"COM") != 0 || number <= last) return false;
        last = number;
    }
    return true;
}

// Tells the test script where the run stands: an empty file of that name in the script's folder.
void Signal(const std::wstring& folder, const wchar_t* name) {
    const std::wstring path = folder + L"\\" + name;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
}

// The Connection dialog open while a port comes and goes: the script adds COM7 (its device and the
// system's entry for it) after "opened" and takes both away after "listed". The new entry takes its place
// in COM order, the selection stays where it was, and the entry leaves again.
void WatchPortComeAndGo(HWND main, const std::wstring& folder) {
    Press(main, kConnect);
    HWND connection = WaitForDialog([](HWND w) { return TextOf(w) == L"Connection"; });
    Check("Connect opens the Connection dialog", connection != nullptr);
    if (connection == nullptr) return;
    HWND ports = ::GetDlgItem(connection, kPortList);
    const int selected = static_cast<int>(::SendMessageW(ports, CB_GETCURSEL, 0, 0));
    Check("the Port list starts without COM7", PositionOf(ports, L"COM7") < 0, "(" + Listed(ports) + ")");
    Signal(folder, L"opened");
    const bool came = WaitUntil([ports] { return PositionOf(ports, L"COM7") >= 0; });
    Check("COM7 appears in the Port list", came, "(" + Listed(ports) + ")");
    Check("the Port list stays in COM order", InComOrder(PortEntries(ports)), "(" + Listed(ports) + ")");
    const int after = static_cast<int>(::SendMessageW(ports, CB_GETCURSEL, 0, 0));
    wchar_t entry[64] = {};
    if (after >= 0) ::SendMessageW(ports, CB_GETLBTEXT, after, reinterpret_cast<LPARAM>(entry));
    Check("the selection stays on COM1",
          selected == PositionOf(ports, L"COM1") && std::wstring(entry) == L"COM1",
          "(" + Narrow(entry) + ")");
    Signal(folder, L"listed");
    const bool went = WaitUntil([ports] { return PositionOf(ports, L"COM7") < 0; });
    Check("COM7 leaves the Port list", went, "(" + Listed(ports) + ")");
    Press(connection, IDCANCEL);
    Check("Cancel closes the Connection dialog", WaitUntil([connection] { return !::IsWindow(connection); }));
}

// The main dialog: its caption is "Quarvel", with what the fields show after it before a read.
HWND WaitForMainDialog() {
    return WaitForDialog(
        [](HWND w) { return TextOf(w).rfind(L"Quarvel", 0) == 0 && ::GetDlgItem(w, kConnect) != nullptr; });
}

// Connect, the Connection dialog with COM1, OK, and the record shown: the main dialog's edits in the
// Linux program's "label : value" lines.
bool ConnectAndShow(HWND main) {
    Press(main, kConnect);
    HWND connection = WaitForDialog([](HWND w) { return TextOf(w) == L"Connection"; });
    Check("Connect opens the Connection dialog", connection != nullptr);
    if (connection == nullptr) return false;
    HWND ports = ::GetDlgItem(connection, kPortList);
    const int com1 = PositionOf(ports, L"COM1");
    Check("the Connection dialog lists COM1", com1 >= 0, "(" + Listed(ports) + ")");
    if (com1 < 0) return false;
    ::SendMessageW(ports, CB_SETCURSEL, com1, 0);
    Press(connection, IDOK);
    const bool shown = WaitUntil([main] { return ItemText(main, kConnect) == L"Disconnect"; });
    Check("after OK the button reads Disconnect", shown, "(" + Narrow(ItemText(main, kConnect)) + ")");
    if (!shown) return false;
    WaitUntil([main] { return !ItemText(main, kToolModel).empty(); }, 5000);
    std::printf("RECORD Tool : %s\n", Narrow(ItemText(main, kToolModel)).c_str());
    std::printf("RECORD Tool Serial Number : %s\n", Narrow(ItemText(main, kToolSerial)).c_str());
    std::printf("RECORD Controller Firmware Version : %s\n", Narrow(ItemText(main, kFirmware)).c_str());
    std::printf("RECORD Controller Serial Number : %s\n", Narrow(ItemText(main, kControllerSerial)).c_str());
    std::printf("RECORD Cycle Counter : %s\n", Narrow(ItemText(main, kCycleCounter)).c_str());
    std::printf("RECORD Total Counter : %s\n", Narrow(ItemText(main, kTotalCounter)).c_str());
    std::printf("RECORD Stop position : %s\n", AsReportNumber(ItemText(main, kPosition)).c_str());
    std::printf("RECORD Last force recorded : %s\n", AsReportNumber(ItemText(main, kForce)).c_str());
    std::printf("RECORD Stop conditions : %s\n", Narrow(ItemText(main, kResult)).c_str());
    std::printf("RECORD Direction : %s\n", Narrow(ItemText(main, kDirection)).c_str());
    std::printf("SHOWN position=%s force=%s\n", Narrow(ItemText(main, kPosition)).c_str(),
                Narrow(ItemText(main, kForce)).c_str());
    std::fflush(stdout);
    return true;
}

// Save, the Save-As dialog, the path typed into its file name, OK; the file must appear.
void SaveAs(HWND main, const std::wstring& path, const char* what) {
    ::DeleteFileW(path.c_str());
    Press(main, kSave);
    HWND save = WaitForDialog([main](HWND w) {
        return w != main &&
               (::GetDlgItem(w, kFileNameCombo) != nullptr || ::GetDlgItem(w, kFileNameEdit) != nullptr);
    });
    Check((std::string("Save opens the Save-As dialog for ") + what).c_str(), save != nullptr);
    if (save == nullptr) return;
    HWND name = ::GetDlgItem(save, kFileNameCombo);
    if (name == nullptr) name = ::GetDlgItem(save, kFileNameEdit);
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ::PostMessageW(save, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    const bool closed = WaitUntil([save] { return !::IsWindow(save) || !::IsWindowVisible(save); });
    const bool written =
        WaitUntil([&path] { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; });
    Check((std::string("the ") + what + " report is written").c_str(), closed && written, Narrow(path));
    // The write ends before the handler returns; a reply to a sent message shows the handler is done.
    TextOf(main);
}

// The system menu's About: the box's title bar (the window's own text, read without a message) names the
// program as the Linux build's does, the version line below; OK closes it.
void CheckAboutBox(HWND main) {
    ::PostMessageW(main, WM_SYSCOMMAND, kAboutCommand, 0);
    HWND about =
        WaitForDialog([main](HWND w) { return w != main && ::GetDlgItem(w, kAboutVersion) != nullptr; });
    Check("the system menu's About opens the About box", about != nullptr);
    if (about == nullptr) return;
    wchar_t caption[256] = {};
    ::GetWindowTextW(about, caption, 256);
    Check("the About box's caption reads Quarvel", std::wstring(caption) == L"Quarvel",
          "(" + Narrow(caption) + ")");
    const std::wstring version = ItemText(about, kAboutVersion);
    Check("the About box shows Quarvel 1.2", version == L"Quarvel 1.2", "(" + Narrow(version) + ")");
    Press(about, IDOK);
    Check("OK closes the About box", WaitUntil([about] { return !::IsWindow(about); }));
}

// The common controls the program loaded: the manifest's version 6 comes from the side-by-side store
// (winsxs), the system folder's comctl32.dll is version 5.
void CheckCommonControls(HANDLE process) {
    HMODULE modules[512];
    DWORD bytes = 0;
    std::string found;
    if (::K32EnumProcessModulesEx(process, modules, sizeof modules, &bytes, LIST_MODULES_ALL)) {
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
            wchar_t path[MAX_PATH] = {};
            ::K32GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
            std::wstring lower = path;
            for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
            if (lower.size() >= 12 && lower.compare(lower.size() - 12, 12, L"comctl32.dll") == 0)
                found = Narrow(lower);
        }
    }
    const bool v6 = found.find("winsxs") != std::string::npos &&
                    found.find("common-controls") != std::string::npos &&
                    found.find("_6.0.") != std::string::npos;
    Check("quarvel.exe runs on the common controls 6", v6,
          "(" + (found.empty() ? "no comctl32.dll" : found) + ")");
}

bool EndProgram(HWND main, HANDLE process) {
    Press(main, IDOK);  // Exit
    const bool ended = ::WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0;
    DWORD code = 1;
    ::GetExitCodeProcess(process, &code);
    Check("Exit ends the program with 0", ended && code == 0, "(exit code " + std::to_string(code) + ")");
    if (!ended) {
        ListWindows();
        ::TerminateProcess(process, 1);
    }
    return ended;
}

// Windows ends the session (a log-off, a shut-down) while the tool is connected: quarvel.exe agrees to end,
// then ends at once with 0, the COM port released (the driver can open it).
void EndTheWindowsSession(HWND main, HANDLE process) {
    DWORD_PTR agreed = 0;
    ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, kWaitMs, &agreed);
    Check("the end of the session is agreed to", agreed == TRUE);
    ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, kWaitMs, nullptr);
    const bool ended = ::WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0;
    DWORD code = 1;
    ::GetExitCodeProcess(process, &code);
    Check("the end of the session ends quarvel.exe with 0", ended && code == 0,
          "(exit code " + std::to_string(code) + ")");
    if (!ended) ::TerminateProcess(process, 1);
    const HANDLE port =
        ::CreateFileW(L"\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Check("the COM port was released", port != INVALID_HANDLE_VALUE,
          "(error " + std::to_string(::GetLastError()) + ")");
    if (port != INVALID_HANDLE_VALUE) ::CloseHandle(port);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: gui_driver session|linklost|hotplug|endsession QUARVEL.EXE [REPORT.TXT "
                     "REPORT.CSV | FOLDER]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const bool pose = mode == "pose" && argc == 4;
    const std::string posed = pose ? argv[2] : "";
    if (pose) argv[2] = argv[3];
    if ((mode != "session" || argc != 5) && (mode != "linklost" || argc != 3) &&
        (mode != "hotplug" || argc != 4) && (mode != "endsession" || argc != 3) && !pose) {
        std::fprintf(stderr, "gui_driver: bad arguments\n");
        return 2;
    }
    std::wstring command = L"\"" + Widen(argv[2]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        std::printf("FAIL quarvel.exe starts (error %lu)\n", ::GetLastError());
        return 1;
    }
    g_pid = info.dwProcessId;
    HWND main = WaitForMainDialog();
    Check("the main dialog opens", main != nullptr);
    if (main == nullptr) ListWindows();
    if (main != nullptr && pose && posed == "main") {
        std::printf("POSED main\n");
        std::fflush(stdout);
        ::Sleep(15000);
        ::TerminateProcess(info.hProcess, 0);
        return g_failures == 0 ? 0 : 1;
    }
    if (main != nullptr && pose) {
        const bool about = posed == "about";
        if (about) {
            ::PostMessageW(main, WM_SYSCOMMAND, kAboutCommand, 0);
        } else {
            Press(main, kConnect);
        }
        HWND shown = WaitForDialog([about, main](HWND w) {
            return w != main && ::GetDlgItem(w, about ? kAboutVersion : kPortList) != nullptr;
        });
        Check("the dialog opens", shown != nullptr);
        RECT box{};
        if (shown != nullptr) {
            ::Sleep(
                1000);  // a virtual desktop of Wine's may leave a new owned window unpainted: paint it anew
            ::RedrawWindow(shown, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            ::GetWindowRect(shown, &box);
        }
        std::printf("POSED %ld,%ld,%ld,%ld\n", box.left, box.top, box.right - box.left, box.bottom - box.top);
        std::fflush(stdout);
        ::Sleep(15000);
        ::TerminateProcess(info.hProcess, 0);
        return g_failures == 0 ? 0 : 1;
    }
    if (main != nullptr && mode == "hotplug") {
        WatchPortComeAndGo(main, Widen(argv[3]));
    } else if (main != nullptr && mode == "endsession") {
        if (ConnectAndShow(main)) EndTheWindowsSession(main, info.hProcess);
        std::printf("gui_driver %s: %d failed\n", mode.c_str(), g_failures);
        return g_failures == 0 ? 0 : 1;
    } else if (main != nullptr && ConnectAndShow(main)) {
        if (mode == "session") {
            CheckCommonControls(info.hProcess);
            CheckAboutBox(main);
            SaveAs(main, Widen(argv[3]), "text");
            SaveAs(main, Widen(argv[4]), "CSV");
            Press(main, kConnect);
            HWND confirm = MessageBoxOf(main);
            Check("Disconnect asks for confirmation", confirm != nullptr,
                  confirm ? "(" + Narrow(ItemText(confirm, kMessageBoxText)) + ")" : "");
            if (confirm != nullptr) {
                Check("the confirmation has Yes", ::GetDlgItem(confirm, IDYES) != nullptr);
                Press(confirm, IDYES);
                // The closed link is announced as on Linux: "Disconnected", then the button reads Connect.
                HWND closed = WaitForDialog([main, confirm](HWND w) {
                    return w != main && w != confirm && ::GetDlgItem(w, kMessageBoxText) != nullptr;
                });
                const std::wstring text = closed ? ItemText(closed, kMessageBoxText) : L"";
                Check("Yes disconnects: Disconnected is shown", text == L"Disconnected",
                      "(" + Narrow(text) + ")");
                if (closed != nullptr) Press(closed, IDOK);
                const bool back = WaitUntil([main] { return ItemText(main, kConnect) == L"Connect"; });
                Check("Yes disconnects: the button reads Connect", back,
                      "(" + Narrow(ItemText(main, kConnect)) + ")");
            }
        } else {
            HWND lost = MessageBoxOf(main);
            const std::wstring text = lost ? ItemText(lost, kMessageBoxText) : L"";
            Check("a silent tool shows Disconnected", text == L"Disconnected", "(" + Narrow(text) + ")");
            if (lost != nullptr) {
                Press(lost, IDOK);
                const bool back = WaitUntil([main] { return ItemText(main, kConnect) == L"Connect"; });
                Check("after the loss the button reads Connect", back,
                      "(" + Narrow(ItemText(main, kConnect)) + ")");
            }
        }
    }
    if (main != nullptr && g_failures == 0) {  // after a failure a dialog may still be open: no Exit then
        EndProgram(main, info.hProcess);
    } else {
        ::TerminateProcess(info.hProcess, 1);
    }
    if (::WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) ::TerminateProcess(info.hProcess, 1);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    std::printf("gui_driver %s: %d failed\n", mode.c_str(), g_failures);
    return g_failures == 0 ? 0 : 1;
}
