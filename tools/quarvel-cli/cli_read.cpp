#include "cli_read.h"

#include <algorithm>
#include <chrono>

#include "app/settings/settings_store.h"
#include "cli_connect.h"
#include "cli_exit.h"
#include "cli_output.h"
#include "cli_report.h"
#include "cli_session.h"
#include "cli_team.h"
#include "history/history_store.h"
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "platform/threads/stop_signal.h"
#include "protocol/protocol_codes.h"
#include "serial/port_probe.h"
#include "trace_link.h"

namespace {
// Every exchange of a session is bounded by the engine's reply time-out; the session has seven, one
// more may be in flight from the keep-alive. Past this something is broken, and the CLI says so.
std::chrono::milliseconds SessionDeadline(DWORD replyTimeoutMs) {
    return std::chrono::milliseconds(10 * static_cast<long long>(replyTimeoutMs) + 5000);
}

// --reconnect awaits each reply at most this long, so that a stop during an attempt on a silent line is
// never held up by the protocol's 4000 ms (a tool answers within milliseconds).
constexpr DWORD kReconnectReplyTimeoutMs = 1000;
// The pause between two attempts of --reconnect.
constexpr std::chrono::milliseconds kRetryPause(1000);

DWORD ReplyTimeoutFor(const CliOptions& options) {
    return options.reconnect ? std::min(options.replyTimeoutMs, kReconnectReplyTimeoutMs)
                             : options.replyTimeoutMs;
}

class CReadCommand {
public:
    CReadCommand(const CliOptions& options, CCliMainWindow& window, CCliConsole& console)
        : m_options(options), m_window(window), m_console(console), m_app(ReplyTimeoutFor(options)) {}

    int Run() {
        CMainWindowScope scope(&m_window);
        LoadLanguage(m_app);
        LoadPortSettings(m_app, m_app.PortNumber);
        LoadHistorySettings(m_app);
        if (m_options.reportDir && !PrepareReportDir(*m_options.reportDir, m_console)) return kExitUsage;
        if (m_options.reconnect) return Reconnect();
        if (!Connect()) return m_exit;
        const int status = AwaitSessionStatus();
        if (status != kExitOk) return status;
        if (m_options.command == CliCommand::Watch && !Stopped()) return Hold();
        m_app.Disconnect();
        return kExitOk;
    }

private:
    PortChoice Choice(std::optional<int> port) const {
        PortChoice choice;
        choice.explicitPort = port;
        choice.presetPort = m_app.PortNumber;
        choice.speedIndex = m_options.speedIndex.value_or(m_app.SpeedIndex);
        return choice;
    }

    bool Connect() {
        std::unique_ptr<CModem> modem = OpenChosenPort(Choice(m_options.port), m_console);
        if (!modem) {
            m_exit = kExitNoPort;
            return false;
        }
        return StartOn(std::move(modem), true);
    }

    // Builds the session on an open port. False (after message 102 when `tell`) when it did not start.
    bool StartOn(std::unique_ptr<CModem> modem, bool tell) {
        m_portPath = modem->GetDevicePath();
        m_speed = HistorySpeedOfIndex(m_options.speedIndex.value_or(m_app.SpeedIndex));
        if (m_options.trace) {
            m_app.Port = new CTraceLink(std::move(modem),
                                        [this](const std::string& line) { m_console.ErrLine(line); });
        } else {
            m_app.Port = modem.release();
        }
        const auto outcome = m_app.StartSession();
        if (outcome != CQuarvelSession::StartOutcome::Started) {
            if (tell) m_console.Message(IDS_LINK_NOT_ESTABLISHED);
            m_app.ReleaseLink();
            m_exit = kExitSessionFailed;
            return false;
        }
        return true;
    }

    // Waits for the session's one status and acts on it as the main dialog does.
    int AwaitSessionStatus() {
        const auto deadline = std::chrono::steady_clock::now() + SessionDeadline(m_options.replyTimeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const auto message = m_window.Wait(left.count() > 0 ? left : std::chrono::milliseconds(0));
            if (!message) {
                m_console.Error("the session did not end in time");
                return kExitSessionFailed;  // the destructor still waits for the session thread
            }
            if (message->message == WM_CLI_STOP) {
                OnStop(message->wParam);  // the session ends at once; its status follows
            } else if (message->message == WM_LINK_LOST) {
                m_app.DropLink();  // deferred until the status below is handled
            } else if (message->message == WM_SESSION_STATUS) {
                return OnSessionStatus(message->wParam);
            }
        }
    }

    int OnSessionStatus(WPARAM code) {
        const auto reaction = m_app.HandleSessionStatus(code);
        if (Stopped() && reaction != CQuarvelSession::StatusReaction::ShowRecord) {
            m_app.ReleaseLink();  // cut short by the stop: nothing to tell
            return StopExit();
        }
        if (reaction == CQuarvelSession::StatusReaction::ShowRecord) return ShowRecord();
        // Failed, unknown, or the link lost while the session read (the drop completed): the link is gone.
        m_console.Message(CQuarvelSession::MessageOf(reaction == CQuarvelSession::StatusReaction::Nothing
                                                         ? CQuarvelSession::StatusReaction::ShowClosed
                                                         : reaction));
        return ExitOf(reaction);
    }

    // The record is kept first, so that a reader who went away or a full disk never costs the history
    // its row; then printed, then written as a report. A lost output is kExitOutput, and ends a watch.
    int ShowRecord() {
        const ToolRecord record = m_app.SnapshotRecord();
        KeepInHistory(record);
        // A stream of records: json one object per line, the other layouts a blank line apart.
        const bool printed =
            m_console.Out(FormatToolRecord(record, m_options.format, m_options.reconnect) +
                          (m_options.reconnect && m_options.format != CliFormat::Json ? "\n" : ""));
        int exit = printed ? kExitOk : kExitOutput;
        if (m_options.reportPath && SaveCliReport(*m_options.reportPath, record, m_console) != kExitOk &&
            printed) {
            exit = kExitSessionFailed;
        }
        if (m_options.reportDir && SaveCliReportInDir(*m_options.reportDir, record, m_console) != kExitOk &&
            printed) {
            exit = kExitSessionFailed;
        }
        return exit;
    }

    // The printed record goes into the history. A store that cannot take it loses the row and says so
    // on one line; the read itself has succeeded all the same.
    void KeepInHistory(const ToolRecord& record) {
        if (!m_app.KeepHistory) return;
        CHistoryStore store(CliStoreOptions(m_app));
        HistoryRead kept;
        const HistoryStatus status = store.Insert(HistoryReadFromRecord(record, m_portPath, m_speed), &kept);
        if (!store.SetAsideName().empty()) {
            m_console.Error("history: the damaged file was renamed to " + store.SetAsideName() +
                            "; a new one was started");
        }
        if (!status.ok)
            m_console.Error(Utf16ToUtf8(LoadStringW(IDS_HISTORY_NOT_KEPT)) + " (" + status.message + ")");
        else
            m_teamPush.Push(kept);
    }

    // watch: hold the link until it is lost or the user stops.
    int Hold() {
        for (;;) {
            const auto message = m_window.Wait(std::chrono::hours(24));
            if (!message) continue;
            if (message->message == WM_CLI_STOP) {
                OnStop(message->wParam);
                m_app.Disconnect();
                return StopExit();
            }
            if (message->message == WM_LINK_LOST) m_app.DropLink();
            if (message->message == WM_SESSION_STATUS && message->wParam == SESSION_CLOSED) {
                m_console.Message(IDS_DISCONNECTED);
                return kExitLinkLost;
            }
        }
    }

    // watch --reconnect: tool after tool on one port until stopped. Each outcome is told once in a row,
    // so a silent or unknown tool is reported once and then waited out quietly.
    int Reconnect() {
        std::unique_ptr<CModem> modem = OpenChosenPort(Choice(m_options.port), m_console);
        if (!modem && !m_options.port) return kExitNoPort;  // no port at all: as read
        const int port = modem ? modem->GetPortNumber() : *m_options.port;
        int last = modem ? -1 : kExitNoPort;  // the outcome told last
        for (;;) {
            m_app.ReleaseLink();  // whatever an overtaken session left (normally nothing)
            if (modem && StartOn(std::move(modem), last != kExitSessionFailed)) {
                int outcome = AwaitQuietly(last);
                if (outcome == kExitOutput) {
                    m_app.ReleaseLink();  // nobody reads the records any more
                    return kExitOutput;
                }
                if (outcome == kExitOk && !Stopped()) outcome = Hold();
                last = outcome == kExitLinkLost ? kExitSessionFailed : outcome;  // "Disconnected" said it all
            }
            if (Stopped() || !PauseUnlessStopped()) {
                m_app.ReleaseLink();  // a tool read just as the stop came is not held
                return StopExit();
            }
            modem = OpenQuietly(port);
            if (!modem && last != kExitNoPort && last != kExitSessionFailed) last = kExitNoPort;
        }
    }

    // The session's status, told unless it repeats the last outcome; the link is released unless OK.
    int AwaitQuietly(int last) {
        const auto deadline = std::chrono::steady_clock::now() + SessionDeadline(ReplyTimeoutFor(m_options));
        for (;;) {
            const auto message = m_window.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(std::max(
                deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero())));
            if (!message) return kExitSessionFailed;
            if (message->message == WM_CLI_STOP) OnStop(message->wParam);
            if (message->message == WM_LINK_LOST) m_app.DropLink();
            if (message->message != WM_SESSION_STATUS) continue;
            const auto reaction = m_app.HandleSessionStatus(message->wParam);
            if (Stopped() && reaction != CQuarvelSession::StatusReaction::ShowRecord) {
                m_app.ReleaseLink();  // cut short by the stop: nothing to tell
                return kExitSessionFailed;
            }
            // A report that could not be written was told; the next tool follows. A lost output ends it.
            if (reaction == CQuarvelSession::StatusReaction::ShowRecord) {
                return ShowRecord() == kExitOutput ? kExitOutput : kExitOk;
            }
            const int outcome = ExitOf(reaction);
            if (outcome == kExitLinkLost || outcome != last) {
                m_console.Message(CQuarvelSession::MessageOf(
                    outcome == kExitLinkLost ? CQuarvelSession::StatusReaction::ShowClosed : reaction));
            }
            return outcome;
        }
    }

    // About a second, cut short by a stop; false when stopped.
    bool PauseUnlessStopped() {
        const auto end = std::chrono::steady_clock::now() + kRetryPause;
        for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
            const auto message =
                m_window.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
            if (message && message->message == WM_CLI_STOP) {
                OnStop(message->wParam);
                return false;
            }
        }
        return true;
    }

    // The port again, at the chosen speed, telling nothing; null while it is gone or refused.
    std::unique_ptr<CModem> OpenQuietly(int port) {
        auto modem = std::make_unique<CModem>();
        if (!modem->Open(kProbeMode, port, kPortReadTimeoutMs)) return nullptr;
        modem->SetMode(ModeForSpeedIndex(Choice(port).speedIndex).c_str());
        return modem;
    }

    const CliOptions& m_options;
    CCliMainWindow& m_window;
    CCliConsole& m_console;
    CCliSession m_app;
    CCliTeamPush m_teamPush{m_app, m_console};  // after m_app: it reads the settings m_app loads
    // A stop signal or a closed output (WM_CLI_STOP). A signal cuts a session still reading short, its
    // port released at once; a closed output lets it finish, so the read is kept in the history before
    // its printing fails. The first stop decides the exit status.
    void OnStop(WPARAM signal) {
        const int stop = signal != 0 ? static_cast<int>(signal) : kStopSignalUnknown;
        if (m_stopSignal == 0) {
            m_stopSignal = stop;
            if (stop == kOutputClosedSignal) m_console.Error("standard output was closed; stopping");
        }
        if (stop != kOutputClosedSignal) m_app.AbortSession();
    }
    bool Stopped() const { return m_stopSignal != 0; }
    // A closed output is lost output; otherwise watch ends as asked (0) and read with 128 + the signal.
    int StopExit() const {
        if (m_stopSignal == kOutputClosedSignal) return kExitOutput;
        if (m_options.command == CliCommand::Watch) return kExitOk;
        return m_stopSignal == kStopSignalUnknown ? kExitSessionFailed : 128 + m_stopSignal;
    }
    static constexpr int kStopSignalUnknown = -1;

    // The exit status of a session that did not show a record.
    static int ExitOf(CQuarvelSession::StatusReaction reaction) {
        switch (reaction) {
            case CQuarvelSession::StatusReaction::ShowUnknown:
                return kExitUnknownDevice;
            case CQuarvelSession::StatusReaction::ShowFailed:
                return kExitSessionFailed;
            default:
                return kExitLinkLost;  // the link was lost while the session read
        }
    }

    int m_exit = kExitOk;
    int m_stopSignal = 0;
    std::string m_portPath;
    std::uint32_t m_speed = 0;
};
}  // namespace

int RunReadCommand(const CliOptions& options, CCliMainWindow& window, CCliConsole& console) {
    return CReadCommand(options, window, console).Run();
}
