#include "cli_read.h"

#include <chrono>

#include "app/settings/settings_store.h"
#include "cli_connect.h"
#include "cli_exit.h"
#include "cli_output.h"
#include "cli_session.h"
#include "history/history_store.h"
#include "platform/resource_module.h"
#include "platform/utf8.h"
#include "platform/resource_ids.h"
#include "protocol/protocol_codes.h"
#include "cli_report.h"
#include "trace_link.h"

namespace {
// Every exchange of a session is bounded by the engine's reply time-out; the session has seven, one
// more may be in flight from the keep-alive. Past this something is broken, and the CLI says so.
std::chrono::milliseconds SessionDeadline(DWORD replyTimeoutMs) {
    return std::chrono::milliseconds(10 * static_cast<long long>(replyTimeoutMs) + 5000);
}

class CReadCommand {
public:
    CReadCommand(const CliOptions& options, CCliMainWindow& window, CCliConsole& console)
        : m_options(options), m_window(window), m_console(console), m_app(options.replyTimeoutMs) {}

    int Run() {
        CMainWindowScope scope(&m_window);
        LoadLanguage(m_app);
        LoadPortSettings(m_app, m_app.PortNumber);
        LoadHistorySettings(m_app);
        if (!Connect()) return m_exit;
        const int status = AwaitSessionStatus();
        if (status != kExitOk) return status;
        if (m_options.command == CliCommand::Watch && !m_stopRequested) return Hold();
        m_app.Disconnect();
        return kExitOk;
    }

private:
    bool Connect() {
        PortChoice choice;
        choice.explicitPort = m_options.port;
        choice.presetPort = m_app.PortNumber;
        choice.speedIndex = m_options.speedIndex.value_or(m_app.SpeedIndex);
        std::unique_ptr<CModem> modem = OpenChosenPort(choice, m_console);
        if (!modem) {
            m_exit = kExitNoPort;
            return false;
        }
        m_portPath = modem->GetDevicePath();
        m_speed = HistorySpeedOfIndex(choice.speedIndex);
        if (m_options.trace) {
            m_app.Port = new CTraceLink(std::move(modem), [this](const std::string& line) { m_console.ErrLine(line); });
        } else {
            m_app.Port = modem.release();
        }
        const auto outcome = m_app.StartSession();
        if (outcome != CQuarvelSession::StartOutcome::Started) {
            m_console.Message(IDS_LINK_NOT_ESTABLISHED);
            m_exit = kExitSessionFailed;
            return false;
        }
        return true;
    }

    // Waits for the session's one status and acts on it as the main dialog does.
    int AwaitSessionStatus() {
        const auto deadline = std::chrono::steady_clock::now() + SessionDeadline(m_options.replyTimeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            const auto message = m_window.Wait(left.count() > 0 ? left : std::chrono::milliseconds(0));
            if (!message) {
                m_console.Error("the session did not end in time");
                return kExitSessionFailed;  // the destructor still waits for the session thread
            }
            if (message->message == WM_CLI_STOP) {
                m_stopRequested = true;  // the session cannot be cut short; it ends within its time-outs
            } else if (message->message == WM_LINK_LOST) {
                m_app.DropLink();  // deferred until the status below is handled
            } else if (message->message == WM_SESSION_STATUS) {
                return OnSessionStatus(message->wParam);
            }
        }
    }

    int OnSessionStatus(WPARAM code) {
        switch (m_app.HandleSessionStatus(code)) {
            case CQuarvelSession::StatusReaction::ShowRecord:
                return ShowRecord();
            case CQuarvelSession::StatusReaction::ShowUnknown:
                m_console.Message(IDS_UNKNOWN_DEVICE);
                m_app.ReleaseLink();
                return kExitUnknownDevice;
            case CQuarvelSession::StatusReaction::ShowFailed:
                m_console.Message(IDS_LINK_NOT_ESTABLISHED);
                m_app.ReleaseLink();
                return kExitSessionFailed;
            default:
                // The link was lost while the session read; the drop has been completed.
                m_console.Message(IDS_DISCONNECTED);
                return kExitLinkLost;
        }
    }

    int ShowRecord() {
        const ToolRecord record = m_app.SnapshotRecord();
        m_console.Out(FormatToolRecord(record, m_options.format));
        KeepInHistory(record);
        if (m_options.reportPath) return SaveCliReport(*m_options.reportPath, record, m_console);
        return kExitOk;
    }

    // The printed record goes into the history. A store that cannot take it loses the row and says so
    // on one line; the read itself has succeeded all the same.
    void KeepInHistory(const ToolRecord& record) {
        if (!m_app.KeepHistory) return;
        CHistoryStore store;
        const HistoryStatus status = store.Insert(HistoryReadFromRecord(record, m_portPath, m_speed));
        if (!store.SetAsideName().empty()) {
            m_console.Error("history: the damaged file was renamed to " + store.SetAsideName() + "; a new one was started");
        }
        if (!status.ok) m_console.Error(Utf16ToUtf8(LoadStringW(IDS_HISTORY_NOT_KEPT)) + " (" + status.message + ")");
    }

    // watch: hold the link until it is lost or the user stops.
    int Hold() {
        for (;;) {
            const auto message = m_window.Wait(std::chrono::hours(24));
            if (!message) continue;
            if (message->message == WM_CLI_STOP) {
                m_app.Disconnect();
                return kExitOk;
            }
            if (message->message == WM_LINK_LOST) m_app.DropLink();
            if (message->message == WM_SESSION_STATUS && message->wParam == SESSION_CLOSED) {
                m_console.Message(IDS_DISCONNECTED);
                return kExitLinkLost;
            }
        }
    }

    const CliOptions& m_options;
    CCliMainWindow& m_window;
    CCliConsole& m_console;
    CCliSession m_app;
    int m_exit = kExitOk;
    bool m_stopRequested = false;
    std::string m_portPath;
    std::uint32_t m_speed = 0;
};
}  // namespace

int RunReadCommand(const CliOptions& options, CCliMainWindow& window, CCliConsole& console) {
    return CReadCommand(options, window, console).Run();
}
