#include "cli_options.h"

#include <charconv>

#include "platform/utf8.h"

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
        if (m_args.empty()) return Fail("missing command (ports, read or watch); see --help");
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
        } else {
            return Fail("unknown command '" + command + "'; expected ports, read or watch");
        }
        for (m_next = 1; m_next < m_args.size();) {
            if (!Option()) return Fail(m_error);
        }
        if (m_options.command == CliCommand::Ports && m_sawReadOption) {
            return Fail("'" + m_readOptionName + "' does not apply to 'ports'");
        }
        parse.ok = true;
        parse.options = m_options;
        return parse;
    }

private:
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
        if (name == "--trace") {
            if (inlineValue) return Error("'--trace' takes no value");
            m_options.trace = true;
            m_sawReadOption = true;
            m_readOptionName = name;
            return true;
        }
        if (name != "--port" && name != "--speed" && name != "--report" && name != "--format" &&
            name != "--reply-timeout") {
            return Error("unknown option '" + name + "'");
        }
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
            if (!ParseInt(value, 0, 9, &number)) return Error("'--speed " + value + "': expected an index 0 to 9");
            m_options.speedIndex = static_cast<int>(number);
        } else if (name == "--report") {
            if (value.empty()) return Error("'--report' needs a file name");
            CString wide;
            if (!Utf8ToUtf16(value, wide)) return Error("'--report " + value + "': not a UTF-8 file name");
            m_options.reportPath = value;
        } else if (name == "--format") {
            if (value == "text") m_options.format = CliFormat::Text;
            else if (value == "csv") m_options.format = CliFormat::Csv;
            else if (value == "json") m_options.format = CliFormat::Json;
            else return Error("'--format " + value + "': expected text, csv or json");
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
    bool m_sawReadOption = false;
    std::string m_readOptionName;
};
}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& args) { return Parser(args).Run(); }

std::string CliUsage() {
    return R"(Usage: quarvel-cli COMMAND [OPTIONS]

Reads an RK-9 tool over a serial port, exactly as the Quarvel window's Connect does.

Commands:
  ports      List the serial ports that open (COM number and device), and say why a port
             that exists would not open (permission, or held by another program).
  read       Connect, read the tool once, print the ten report items, disconnect.
  watch      Read as above, then hold the link. When the tool asks for the keep-alive it runs
             every second; a lost link prints "Disconnected" and exits 4 (a tool that does not
             ask for it is held until stopped). Ctrl-C (SIGINT) or SIGTERM disconnects cleanly
             and exits 0.

Options for read and watch:
  --port N          COM port number 1 to 256 (also COMn). Default: the port saved by Quarvel;
                    without one, the ports are probed and the first that opens is used.
  --speed INDEX     Line speed index 0 to 9: 1200 2400 4800 9600 14400 19200 21600 38400
                    57600 115200. Default: the saved speed (9, 115200, at first start).
  --report FILE     Also save the report to FILE, as Quarvel's Save does: UTF-16LE; a name
                    ending in ".txt" gets "label : value" lines, any other the two-column
                    comma-separated layout.
  --format F        Standard output layout: text (default), csv or json. Text and csv are the
                    report layouts in UTF-8; json has stable field names and the raw readings
                    beside the converted values.
  --trace           Every frame in both directions, as hex with a millisecond timestamp, on
                    standard error.
  --reply-timeout MS  For testing only: the reply time-out of the protocol (default 4000).

Other:
  --help            This text.
  --version         Print the version.

Messages (no port, link not established, unknown device, disconnected) go to standard error.
Labels follow the language chosen in Quarvel. quarvel-cli never changes the saved settings.

Environment:
  QUARVEL_PORTS     Replaces the table of COM numbers and devices, for example
                    QUARVEL_PORTS=1=/dev/pts/3,7=/dev/ttyUSB0
  XDG_CONFIG_HOME   Where Quarvel's settings live (default ~/.config).
  QUARVEL_CODEPAGE  The 8-bit code page of the tool's texts (default 1252).

Exit status:
  0  read OK          3  no port, or the port would not open
  1  session failed   4  link lost
     (also: the --report file could not be written)
  2  usage error      5  unknown device
)";
}
