// startup_probe: the time from process start to the first painted main dialog of the quarvel program.
//   startup_probe N [QT_QPA_PLATFORM]   runs itself N times as the program (default platform: offscreen); for
//                                       each run the clock is read just before posix_spawn, and the child
//                                       reports the clock once the first paint pass of its main dialog has
//                                       ended. Prints one JSON object: median, minimum and maximum in ms, and
//                                       the same for a bare Qt program that shows a small dialog (the floor)
//   startup_probe --program             the program's own start-up: the same global application object and
//                                       AfxWinMain as src/app/gui/program/main.cpp; the main dialog is ended
//                                       right after its first paint
//   startup_probe --floor               QApplication and a QDialog with a label and a button, ended after its
//                                       first paint: what Qt itself costs to show a dialog with text
// The hook is a Qt start-up routine (qAddPreRoutine) that installs an event filter on the application, so the
// program itself carries no test hook. Both clocks are CLOCK_MONOTONIC (std::chrono::steady_clock).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/gui/quarvel_app.h"
#include "framework/dialog.h"

extern char** environ;

namespace {

CQuarvelApp theApp;  // as in the program: built before main

using Clock = std::chrono::steady_clock;

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// The window whose first paint counts: the main dialog's (program) or the only dialog (floor).
QWidget* WatchedWindow(bool program) {
    if (program) {
        CWnd* main = theApp.m_pMainWnd;
        return main != nullptr ? main->GetSafeHwnd() : nullptr;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) != nullptr) return w;
    return nullptr;
}

class FirstPaintFilter : public QObject {
public:
    explicit FirstPaintFilter(bool program) : m_bProgram(program) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_bSeen || event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        QWidget* window = WatchedWindow(m_bProgram);
        if (window == nullptr || static_cast<QWidget*>(watched)->window() != window) return false;
        m_bSeen = true;
        // The paint pass of the whole window (its controls, then the flush) ends before a zero timer fires.
        QTimer::singleShot(0, [this] {
            std::printf("first-paint-ns %lld\n", NowNs());
            std::fflush(stdout);
            End();
        });
        return false;
    }

private:
    void End() {
        if (!m_bProgram) {
            QCoreApplication::quit();
            return;
        }
        if (auto* dialog = dynamic_cast<CDialog*>(theApp.m_pMainWnd)) dialog->EndDialog(IDCANCEL);
    }
    bool m_bProgram;
    bool m_bSeen = false;
};

bool g_bProgram = true;

void InstallFilter() { qApp->installEventFilter(new FirstPaintFilter(g_bProgram)); }

int Floor(int argc, char** argv) {
    QApplication app(argc, argv);
    // A dialog with a text and a button: any program that shows text pays for the font set-up too.
    QDialog dialog;
    QVBoxLayout layout(&dialog);
    QLabel label(QStringLiteral("Not connected"));
    QPushButton button(QStringLiteral("Connect"));
    layout.addWidget(&label);
    layout.addWidget(&button);
    dialog.resize(300, 200);
    dialog.show();
    return QApplication::exec();
}

// One child run: the nanoseconds from just before the spawn to the first paint it reports; -1 on failure.
double RunOnceMs(const char* self, const char* mode) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* args[] = {const_cast<char*>(self), const_cast<char*>(mode), nullptr};
    pid_t pid = 0;
    const long long start = NowNs();
    const int rc = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char chunk[512];
    for (ssize_t k; rc == 0 && (k = read(out[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(k));
    close(out[0]);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    const std::size_t at = text.find("first-paint-ns ");
    if (at == std::string::npos) return -1;
    const long long painted = std::atoll(text.c_str() + at + 15);
    return static_cast<double>(painted - start) / 1e6;
}

struct Stats {
    double median = 0, min = 0, max = 0;
};

Stats Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--program") == 0) {
        qAddPreRoutine(&InstallFilter);
        return AfxWinMain(1, argv);
    }
    if (argc > 1 && std::strcmp(argv[1], "--floor") == 0) {
        g_bProgram = false;
        qAddPreRoutine(&InstallFilter);
        return Floor(1, argv);
    }
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    setenv("QT_QPA_PLATFORM", argc > 2 ? argv[2] : "offscreen", 1);
    char self[4096];
    const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) return 1;
    self[len] = '\0';
    // One unmeasured run of each first, so that both find the libraries in the page cache; then the two
    // take turns, so that both see the same load on the machine.
    std::vector<double> program, floor;
    for (int i = -1; i < n; ++i) {
        const double a = RunOnceMs(self, "--program");
        const double b = RunOnceMs(self, "--floor");
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "startup_probe: a run did not report its first paint\n");
            return 1;
        }
        if (i < 0) continue;
        program.push_back(a);
        floor.push_back(b);
    }
    const Stats p = Summary(program), f = Summary(floor);
    std::printf(
        "{\"program_median_ms\":%.3f,\"program_min_ms\":%.3f,\"program_max_ms\":%.3f,"
        "\"floor_median_ms\":%.3f,\"floor_min_ms\":%.3f,\"floor_max_ms\":%.3f,\"runs\":%d}\n",
        p.median, p.min, p.max, f.median, f.min, f.max, n);
    return 0;
}
