#include "cli_options.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "history/history_read.h"
#include "history/record_uuid.h"
#include "platform/text/utf8.h"

namespace {
bool ParseInt(const std::string& text, long long low, long long high, long long* out) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || text.empty()) return false;
    if (value < low || value > high) return false;
    *out = value;
    return true;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : m_args(args) {}

    CliParse Run() {
        CliParse parse;
        if (m_args.empty())
            return Fail("missing command (ports, read, watch, doctor, history, sync or server); see --help");
        for (const auto& arg : m_args) {
            if (arg == "--help" || arg == "-h") return Done(CliCommand::Help);
            if (arg == "--version") return Done(CliCommand::Version);
        }
        const std::string& command = m_args[0];
        if (command == "ports") {
            m_options.command = CliCommand::Ports;
        } else if (command == "read") {
            m_options.command = CliCommand::Read;
        } else if (command == "watch") {
            m_options.command = CliCommand::Watch;
        } else if (command == "doctor") {
            m_options.command = CliCommand::Doctor;
        } else if (command == "history") {
            m_options.command = CliCommand::History;
        } else if (command == "certificate") {
            m_options.command = CliCommand::Certificate;
        } else if (command == "sync") {
            m_options.command = CliCommand::Sync;
        } else if (command == "server") {
            if (m_args.size() < 2 || (m_args[1] != "init" && m_args[1] != "restored"))
                return Fail("'server' needs 'init' or 'restored'; see --help");
            m_options.command = m_args[1] == "init" ? CliCommand::ServerInit : CliCommand::ServerRestored;
        } else {
            return Fail("unknown command '" + command +
                        "'; expected ports, read, watch, doctor, history, certificate, sync or server");
        }
        m_next = IsServerCommand() ? 2 : 1;
        if (m_options.command == CliCommand::History && m_args.size() > 1 && m_args[1] == "serviced") {
            m_options.serviced = true;
            m_next = 2;
        }
        for (; m_next < m_args.size();) {
            if (!Option()) return Fail(m_error);
        }
        if (m_options.command == CliCommand::Ports && m_sawReadOption) {
            return Fail("'" + m_readOptionName + "' does not apply to 'ports'");
        }
        if (m_options.command == CliCommand::Doctor && !m_notForDoctor.empty()) {
            return Fail("'" + m_notForDoctor + "' does not apply to 'doctor'");
        }
        if (m_options.command == CliCommand::Doctor && m_options.format == CliFormat::Csv) {
            return Fail("'doctor' prints text or json");
        }
        if (m_options.reconnect && m_options.command != CliCommand::Watch) {
            return Fail("'--reconnect' applies to 'watch' only");
        }
        if (!CheckHistoryOptions()) return Fail(m_error);
        if (!CheckServerOptions()) return Fail(m_error);
        parse.ok = true;
        parse.options = m_options;
        return parse;
    }

private:
    bool IsServerCommand() const {
        return m_options.command == CliCommand::ServerInit || m_options.command == CliCommand::ServerRestored;
    }

    // sync and the server commands take --server alone; no other command takes it.
    bool CheckServerOptions() {
        const bool team = m_options.command == CliCommand::Sync || IsServerCommand();
        const char* name = m_options.command == CliCommand::Sync         ? "sync"
                           : m_options.command == CliCommand::ServerInit ? "server init"
                                                                         : "server restored";
        for (const std::string& option : m_seen) {
            if (option == "--server" && !team)
                return Error("'--server' applies to 'sync', 'server init' and 'server restored' only");
            if (option != "--server" && team)
                return Error("'" + option + "' does not apply to '" + name + "'");
        }
        return true;
    }

    // The history options apply to history alone, and history takes none of the port options.
    bool CheckHistoryOptions() {
        const bool history = m_options.command == CliCommand::History;
        if (m_options.command == CliCommand::Sync || IsServerCommand()) return true;
        if (m_options.command == CliCommand::Certificate) {
            for (const std::string& name : m_seen)
                if (name != "--tool" && name != "--visit" && name != "--output")
                    return Error("'" + name + "' does not apply to 'certificate'");
            if (!m_options.tool) return Error("'certificate' needs '--tool SERIAL'");
            if (!m_options.outputPath) return Error("'certificate' needs '--output FILE.pdf'");
            return true;
        }
        if (m_options.visit) return Error("'--visit' applies to 'certificate' only");
        for (const std::string& name : m_seen) {
            const bool historyOption = name == "--tool" || name == "--note" || name == "--since" ||
                                       name == "--output" || name == "--due" || name == "--controller";
            if (historyOption && !history) return Error("'" + name + "' applies to 'history' only");
            if (!history || historyOption || name == "--format") continue;
            return Error("'" + name + "' does not apply to 'history'");
        }
        if (!history) return true;
        if (m_options.serviced) {
            if (!m_options.tool) return Error("'history serviced' needs '--tool SERIAL'");
            for (const std::string& name : m_seen)
                if (name != "--tool" && name != "--note" && name != "--controller")
                    return Error("'" + name + "' does not apply to 'history serviced'");
        } else if (m_options.note || m_options.controller) {
            return Error(std::string("'") + (m_options.note ? "--note" : "--controller") +
                         "' applies to 'history serviced' only");
        } else if (m_options.due && m_options.tool) {
            return Error("'--due' lists the fleet: it does not go with '--tool'");
        }
        return true;
    }

    CliParse Done(CliCommand command) {
        CliParse parse;
        parse.ok = true;
        parse.options.command = command;
        return parse;
    }
    static CliParse Fail(std::string message) {
        CliParse parse;
        parse.error = std::move(message);
        return parse;
    }

    // Consumes one option (with its value, as "--name value" or "--name=value").
    bool Option() {
        std::string name = m_args[m_next++];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--due") {
            if (inlineValue) return Error("'--due' takes no value");
            m_options.due = true;
            m_seen.push_back(name);
            m_sawReadOption = true;
            m_readOptionName = name;
            if (m_notForDoctor.empty()) m_notForDoctor = name;
            return true;
        }
        if (name == "--trace" || name == "--reconnect") {
            if (inlineValue) return Error("'" + name + "' takes no value");
            (name == "--trace" ? m_options.trace : m_options.reconnect) = true;
            m_seen.push_back(name);
            m_sawReadOption = true;
            m_readOptionName = name;
            if (m_notForDoctor.empty()) m_notForDoctor = name;
            return true;
        }
        if (name != "--port" && name != "--speed" && name != "--report" && name != "--format" &&
            name != "--reply-timeout" && name != "--report-dir" && name != "--tool" && name != "--note" &&
            name != "--since" && name != "--output" && name != "--server" && name != "--controller" &&
            name != "--visit") {
            return Error("unknown option '" + name + "'");
        }
        m_seen.push_back(name);
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (m_next < m_args.size()) {
            value = m_args[m_next++];
        } else {
            return Error("'" + name + "' needs a value");
        }
        m_sawReadOption = true;
        m_readOptionName = name;
        if (name != "--format" && m_notForDoctor.empty()) m_notForDoctor = name;
        return Value(name, value);
    }

    bool Value(const std::string& name, const std::string& value) {
        long long number = 0;
        if (name == "--port") {
            std::string digits = value;
            if (digits.rfind("COM", 0) == 0) digits = digits.substr(3);
            if (!ParseInt(digits, 1, 256, &number)) return Error("'--port " + value + "': expected 1 to 256");
            m_options.port = static_cast<int>(number);
        } else if (name == "--speed") {
            // An index 0 to 9, or a speed of the list in bit/s (9600): the two never overlap.
            static constexpr long long kSpeeds[] = {1200,  2400,  4800,  9600,  14400,
                                                    19200, 21600, 38400, 57600, 115200};
            if (!ParseInt(value, 0, 115200, &number)) {
                return Error("'--speed " + value + "': expected an index 0 to 9 or a speed of the list");
            }
            if (number > 9) {
                const auto* found = std::find(std::begin(kSpeeds), std::end(kSpeeds), number);
                if (found == std::end(kSpeeds)) {
                    return Error("'--speed " + value + "': expected an index 0 to 9 or a speed of the list");
                }
                number = found - std::begin(kSpeeds);
            }
            m_options.speedIndex = static_cast<int>(number);
        } else if (name == "--report") {
            if (value.empty()) return Error("'--report' needs a file name");
            CString wide;
            if (!Utf8ToUtf16(value, wide)) return Error("'--report " + value + "': not a UTF-8 file name");
            m_options.reportPath = value;
        } else if (name == "--report-dir") {
            if (value.empty()) return Error("'--report-dir' needs a folder");
            CString wide;
            if (!Utf8ToUtf16(value, wide))
                return Error("'--report-dir " + value + "': not a UTF-8 folder name");
            m_options.reportDir = value;
        } else if (name == "--visit") {
            if (!IsRecordUuid(value)) return Error("'--visit " + value + "': expected a visit's id (a UUID)");
            m_options.visit = value;
        } else if (name == "--tool" || name == "--note" || name == "--output" || name == "--controller") {
            CString wide;
            if (!Utf8ToUtf16(value, wide)) return Error("'" + name + " " + value + "': not UTF-8 text");
            if (name != "--note" && value.empty()) return Error("'" + name + "' needs a value");
            (name == "--tool"         ? m_options.tool
             : name == "--note"       ? m_options.note
             : name == "--controller" ? m_options.controller
                                      : m_options.outputPath) = value;
        } else if (name == "--server") {
            if (value.empty()) return Error("'--server' needs a connection string");
            m_options.server = value;
        } else if (name == "--since") {
            if (!IsHistoryDate(value))
                return Error("'--since " + value + "': expected YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
            m_options.since = value;
        } else if (name == "--format") {
            if (value == "text")
                m_options.format = CliFormat::Text;
            else if (value == "csv")
                m_options.format = CliFormat::Csv;
            else if (value == "json")
                m_options.format = CliFormat::Json;
            else
                return Error("'--format " + value + "': expected text, csv or json");
        } else {
            if (!ParseInt(value, 1, 600000, &number)) {
                return Error("'--reply-timeout " + value + "': expected 1 to 600000 ms");
            }
            m_options.replyTimeoutMs = static_cast<DWORD>(number);
        }
        return true;
    }

    bool Error(std::string message) {
        m_error = std::move(message);
        return false;
    }

    const std::vector<std::string>& m_args;
    std::size_t m_next = 1;
    CliOptions m_options;
    std::string m_error;
    std::vector<std::string> m_seen;  // the option names given, in order
    bool m_sawReadOption = false;
    std::string m_readOptionName;
    std::string m_notForDoctor;  // the first option doctor does not take
};
}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& args) { return Parser(args).Run(); }

std::string CliUsage() {
    return R"text(Usage: quarvel-cli COMMAND [OPTIONS]

Reads an RK-9 tool over a serial port, exactly as the Quarvel window's Connect does.

Commands:
  ports      List the serial ports that open (COM number and device), and say why a port
             that exists would not open (permission, or held by another program).
)text" + CliDoctorUsageOfThisSystem() +
           R"text(  read       Connect, read the tool once, print the ten report items, disconnect.
  watch      Read as above, then hold the link. When the tool asks for the keep-alive it runs
             every second; a lost link prints "Disconnected" and exits 4 (a tool that does not
             ask for it is held until stopped). Ctrl-C (SIGINT) or SIGTERM disconnects cleanly
             and exits 0.
  watch --reconnect
             Tool after tool on the same port: a lost link prints "Disconnected" and, instead of
             exiting, tries the port again about once a second (waiting for a device that
             vanished to come back) and reads the next tool that answers. One record per tool
             (with --format json one object per line, the fields of 'read'). A failed or unknown
             tool is reported once and waited out. Each reply is awaited at most 1000 ms (or
             --reply-timeout if shorter), so a stop is never held up. Ctrl-C or SIGTERM exits 0.

  history    The service history: every read that read and watch printed and the window
             showed. Alone: the fleet, one line per tool (tool and controller serial) with its
             last read, the cycles since the read before it ("reset" when the total counter
             went back) and since its last service, and its service state against the plan
             of the settings values ServiceInterval (cycles) and ServiceIntervalDays (days
             since the last visit or the first read), whichever comes first: "due: 51,200
             cycles since service" once a limit is reached, "due soon: 340 of 365 days" past
             ServiceDueSoonPercent of one (default 90), else "not due".
             With --tool SERIAL: every read of that tool, oldest first; a read with another
             controller than the read before it says so ("C-2 (was C-1)").
  history --due
             The tools due or due soon, most overdue first.
  history serviced --tool SERIAL [--controller SERIAL] [--note TEXT]
             Record a service visit of that tool at its last read total counter, and say which
             controller it applies to. A tool read with several controllers needs --controller.

  certificate --tool SERIAL [--visit ID] --output FILE.pdf
             The service certificate of the tool's visit ID (history serviced prints it), by
             default of its last visit, or of its last read when it was never serviced: one A4 page in
             the language of the settings, with the settings value CertificateHeader (the
             service company's name and address) at its top, the tool, its counters, its last
             cycle, the technician, the date, the work done, the next service due, a chart of
             its total counter over its reads and a signature line.

  sync       One round with the team's history server (the settings value HistoryServer, or
             --server): push every read and visit the server does not have yet, then pull what
             the other technicians kept since the last pull. Prints what it pushed and pulled.
             Exits 6 when the server cannot be reached or refuses.
  server init
             Make the team's history in the database the connection string names (or bring it
             up to date), then print the SQL for the owner's and the technicians' roles. Run it
             as the owner: --server 'host=... dbname=quarvel user=quarvel_owner'.
  server restored
             After a backup of the team's history was restored (or moved to a new cluster by
             dump and restore): give the history a new id, so that every laptop sends all it
             holds at its next sync (what the backup lacked comes back) and pulls everything.
             Run it as the owner, as server init.

Options for read and watch:
  --port N          COM port number 1 to 256 (also COMn). Default: the port saved by Quarvel;
                    without one, the ports are probed and the first that opens is used.
  --speed S         Line speed in bit/s, or its index in the list (0 to 9):
                      0 1200   1 2400   2 4800    3 9600    4 14400
                      5 19200  6 21600  7 38400   8 57600   9 115200
                    Default: the saved speed (115200 at first start).
  --report FILE     Also save the report to FILE, as Quarvel's Save does: UTF-16LE; a name
                    ending in ".txt" gets "label : value" lines, any other the two-column
                    comma-separated layout.
  --report-dir DIR  Save every tool read as a report in DIR, named after the tool serial and the
                    local time (T-417_20261209-154500.txt, the "label : value" layout).
  --format F        Standard output layout: text (default), csv or json. Text and csv are the
                    report layouts in UTF-8; json has stable field names and the raw readings
                    beside the converted values.
  --trace           Every frame in both directions, as hex with a millisecond timestamp, on
                    standard error.
  --reply-timeout MS  For testing only: the reply time-out of the protocol (default 4000).

Options for history:
  --tool SERIAL     One tool's reads (history), or the tool serviced (history serviced).
  --since DATE      Only reads at or after DATE (UTC): YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS.
  --format F        text (default), csv (UTF-8 with a byte-order mark, for spreadsheets) or
                    json (the field names of read --format json plus read_at, port,
                    cycles_since_previous, cycles_since_service, service_due, technician, id,
                    counter_reset, controller_before, days_since_service and service_state).
  --output FILE     Write the view to FILE instead of standard output.
  --note TEXT       A note kept with the service visit.
  --controller SERIAL  The controller the service visit applies to (history serviced).
  --due             Only the tools due or due soon, most overdue first.

Options for sync, server init and server restored:
  --server CONNINFO The server's libpq connection string (keyword=value, or a postgresql:// URI;
                    several hosts with target_session_attrs=read-write for a replicated server).
                    Passwords come from libpq's password file (~/.pgpass) or PGPASSWORD.

Other:
  --help            This text.
  --version         Print the version.

Messages (no port, link not established, unknown device, disconnected) go to standard error.
Labels follow the language chosen in Quarvel. quarvel-cli never changes the saved settings.

)text" + CliUsageOfThisSystem() +
           R"text(Exit status:
  0  read OK; watch stopped by Ctrl-C or SIGTERM
  1  session failed (also: a --report or --report-dir file could not be written)
  2  usage error (also: the --report-dir folder cannot be made or written)
  3  no port, or the port would not open (doctor: no port with a COM number would open)
  4  link lost
  5  unknown device
  6  history, certificate: the file could not be read or written, or the tool has no reads (or
     was read with several controllers and --controller did not pick one);
     sync, server init, server restored: the server could not be reached or refused (or none
     is set)
  7  standard output could not be written (a full disk, a closed pipe or terminal, no output);
     a record read meanwhile is still kept in the history
)text" + CliStopStatusesOfThisSystem() +
           R"text(A read whose row cannot be kept in the history still succeeds; one line on standard error says so.
With a history server set, read and watch also push each read they kept (waiting at most a few
seconds to connect); when that fails one line on standard error says so, the exit status is the
read's, and the next sync sends it.
)text";
}
