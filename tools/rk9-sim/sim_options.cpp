#include "sim_options.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>

namespace rk9sim {
namespace {

bool ParseNumber(const std::string& text, std::uint64_t maximum, std::uint64_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);  // decimal or 0x...
    if (errno != 0 || *end != '\0' || text[0] == '-' || parsed > maximum) return false;
    value = parsed;
    return true;
}

// A command code: one character ('a') or a number (0x61, 97).
bool ParseCode(const std::string& text, BYTE& code) {
    if (text.size() == 1) {
        code = static_cast<BYTE>(text[0]);
        return true;
    }
    std::uint64_t value = 0;
    if (!ParseNumber(text, 255, value)) return false;
    code = static_cast<BYTE>(value);
    return true;
}

template <typename T>
bool Number(const std::string& text, T& out) {
    std::uint64_t value = 0;
    if (!ParseNumber(text, std::numeric_limits<T>::max(), value)) return false;
    out = static_cast<T>(value);
    return true;
}

// "CODE=VALUE" (or "CODE:VALUE"), the value a byte.
bool CodeAndByte(const std::string& text, BYTE& code, BYTE& value, bool valueOptional, BYTE fallback) {
    const std::size_t sep = text.find_first_of("=:", 1);
    if (sep == std::string::npos) {
        value = fallback;
        return valueOptional && ParseCode(text, code);
    }
    return ParseCode(text.substr(0, sep), code) && Number(text.substr(sep + 1), value);
}

bool InfoBytes(const std::string& text, std::array<BYTE, 7>& out) {
    std::array<BYTE, 7> bytes{};
    std::stringstream stream(text);
    std::string item;
    std::size_t i = 0;
    while (std::getline(stream, item, ',')) {
        if (i == bytes.size() || !Number(item, bytes[i])) return false;
        ++i;
    }
    if (i != bytes.size()) return false;
    out = bytes;
    return true;
}

bool LoadProfile(const std::string& path, ToolProfile& profile, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) *error = "cannot read the profile " + path;
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::string reason;
    if (ApplyProfileJson(text.str(), profile, &reason)) return true;
    if (error) *error = path + ": " + reason;
    return false;
}

using Handler = std::function<bool(const std::string&, SimOptions&)>;

const std::map<std::string, Handler>& ValueOptions() {
    static const std::map<std::string, Handler> options = {
        {"--com", [](const std::string& v,
                     SimOptions& o) { return Number(v, o.nCom) && o.nCom >= 1 && o.nCom <= 256; }},
        {"--device",
         [](const std::string& v, SimOptions& o) {
             o.strDevice = v;
             return !v.empty();
         }},
        {"--profile", [](const std::string&, SimOptions&) { return true; }},  // loaded before the flags
        {"--model",
         [](const std::string& v, SimOptions& o) {
             o.profile.strModel = v;
             return true;
         }},
        {"--device-flags",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nDeviceFlags); }},
        {"--info-bytes",
         [](const std::string& v, SimOptions& o) { return InfoBytes(v, o.profile.infoBytes); }},
        {"--cycle-counter",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nCycleCounter); }},
        {"--total-counter",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nTotalCounter); }},
        {"--position",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nPositionCounts); }},
        {"--position-counts",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nPositionCounts); }},
        {"--force", [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nForceReading); }},
        {"--force-reading",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nForceReading); }},
        {"--force-factor",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nForceFactor); }},
        {"--force-divisor",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nForceDivisor); }},
        {"--cycle-flags",
         [](const std::string& v, SimOptions& o) { return Number(v, o.profile.nCycleFlags); }},
        {"--controller-serial",
         [](const std::string& v, SimOptions& o) {
             o.profile.strControllerSerial = v;
             return true;
         }},
        {"--tool-serial",
         [](const std::string& v, SimOptions& o) {
             o.profile.strToolSerial = v;
             return true;
         }},
        {"--firmware",
         [](const std::string& v, SimOptions& o) {
             o.profile.strFirmwareVersion = v;
             return true;
         }},
        {"--firmware-version",
         [](const std::string& v, SimOptions& o) {
             o.profile.strFirmwareVersion = v;
             return true;
         }},
        {"--tool-model",
         [](const std::string& v, SimOptions& o) {
             o.profile.strToolModel = v;
             return true;
         }},
        {"--silent-after",
         [](const std::string& v, SimOptions& o) {
             std::uint32_t n;
             return Number(v, n) && (o.faults.silentAfter = n, true);
         }},
        {"--silent-code",
         [](const std::string& v, SimOptions& o) {
             BYTE c;
             return ParseCode(v, c) && o.faults.silentCodes.insert(c).second | true;
         }},
        {"--bad-checksum",
         [](const std::string& v, SimOptions& o) {
             BYTE c;
             return ParseCode(v, c) && o.faults.badChecksumCodes.insert(c).second | true;
         }},
        {"--bad-checksum-rate",
         [](const std::string& v, SimOptions& o) {
             char* end = nullptr;
             const double rate = std::strtod(v.c_str(), &end);
             if (v.empty() || *end != '\0' || !(rate >= 0.0 && rate <= 1.0)) return false;
             o.faults.dBadChecksumRate = rate;
             return true;
         }},
        {"--seed", [](const std::string& v, SimOptions& o) { return Number(v, o.faults.nSeed); }},
        {"--fail",
         [](const std::string& v, SimOptions& o) {
             BYTE code = 0, status = 0;
             if (!CodeAndByte(v, code, status, false, 0) || status < 0xA5 || status > 0xB1) return false;
             o.faults.failStatus[code] = status;
             return true;
         }},
        {"--garbage",
         [](const std::string& v, SimOptions& o) {
             return Number(v, o.faults.nGarbageBytes) && o.faults.nGarbageBytes <= 4096;
         }},
        {"--notifications",
         [](const std::string& v, SimOptions& o) {
             return Number(v, o.faults.nNotifications) && o.faults.nNotifications <= 64;
         }},
        {"--bad-type",
         [](const std::string& v, SimOptions& o) {
             BYTE c;
             return ParseCode(v, c) && o.faults.badTypeCodes.insert(c).second | true;
         }},
        {"--byte-delay-us",
         [](const std::string& v, SimOptions& o) { return Number(v, o.faults.nByteDelayUs); }},
        {"--reply-delay-ms",
         [](const std::string& v, SimOptions& o) { return Number(v, o.faults.nReplyDelayMs); }},
        {"--short",
         [](const std::string& v, SimOptions& o) {
             BYTE code = 0, length = 0;
             if (!CodeAndByte(v, code, length, true, 4)) return false;
             o.faults.shortPayload[code] = length;
             return true;
         }},
        {"--no-nul",
         [](const std::string& v, SimOptions& o) {
             BYTE c;
             return ParseCode(v, c) && o.faults.noNulCodes.insert(c).second | true;
         }},
        {"--stray-after",
         [](const std::string& v, SimOptions& o) {
             BYTE c;
             return ParseCode(v, c) && o.faults.strayAfterCodes.insert(c).second | true;
         }},
        {"--next-tool", [](const std::string&, SimOptions&) { return true; }},  // applied after the flags
        {"--next-tool-after",
         [](const std::string& v, SimOptions& o) { return Number(v, o.nNextToolAfter); }},
        {"--next-tool-silence-ms",
         [](const std::string& v, SimOptions& o) { return Number(v, o.nNextToolSilenceMs); }},
        {"--hang-up-after",
         [](const std::string& v, SimOptions& o) {
             std::uint32_t n;
             return Number(v, n) && (o.faults.hangUpAfter = n, true);
         }},
    };
    return options;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string* error) {
    // The profile file first, so that the flags refine it whatever their order.
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--profile" && !LoadProfile(args[i + 1], options.profile, error)) return false;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.bHelp = true;
        } else if (arg == "--silent") {
            options.faults.bSilent = true;
        } else if (arg == "--keep-alive") {
            options.profile.nDeviceFlags |= kKeepAliveFlag;
        } else if (arg == "--no-keep-alive") {
            options.profile.nDeviceFlags &= static_cast<BYTE>(~kKeepAliveFlag);
        } else if (const auto it = ValueOptions().find(arg); it != ValueOptions().end()) {
            if (i + 1 >= args.size()) {
                if (error) *error = arg + " needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (!it->second(value, options)) {
                if (error) *error = "bad value for " + arg + ": " + value;
                return false;
            }
        } else {
            if (error) *error = "unknown option " + arg + " (see --help)";
            return false;
        }
    }
    // The next tool is the first one as the flags made it, with the keys of the --next-tool object.
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "--next-tool") continue;
        ToolProfile next = options.profile;
        std::string reason;
        if (!ApplyProfileJson(args[i + 1], next, &reason)) {
            if (error) *error = "bad value for --next-tool: " + reason;
            return false;
        }
        options.nextTool = next;
    }
    return true;
}

const char* SimHelpText() {
    return R"(Usage: rk9-sim [options]
The simulated RK-9 tool controller. It opens a pseudo-terminal pair (or serves --device), prints one line
  rk9-sim ready: /dev/pts/N QUARVEL_PORTS=<com>=/dev/pts/N
and answers the tool's commands until SIGINT or SIGTERM, then prints a summary of the requests it received.

Where:
  --com N                  COM number for the QUARVEL_PORTS hint (1-256, default 1)
  --device PATH            serve this tty (for example one end of a socat pair) instead of a new pty

Tool profile (a JSON file first, then these flags):
  --profile FILE           JSON object with any of the keys
                             "model" (text, 'D' bytes 0-7, at most 7 characters), "device_flags" (byte 14),
                             "keep_alive" (true/false: flag 0x20), "info_bytes" ([7 numbers]: 'D' bytes
                             8-13 and 15), "cycle_counter", "total_counter", "position_counts",
                             "force_reading", "force_factor", "force_divisor", "cycle_flags",
                             "controller_serial", "tool_serial", "firmware_version", "tool_model"
                           e.g. {"model": "RK-9", "keep_alive": false, "cycle_counter": 12}
  --model TEXT             default RK-9
  --device-flags BYTE      default 0x20 (keep-alive wanted)
  --keep-alive, --no-keep-alive   set or clear flag 0x20
  --info-bytes B,B,B,B,B,B,B      'D' bytes 8-13 and 15 (default 1,4,0,0,0,0,0)
  --cycle-counter N (152)  --total-counter N (873)  --position-counts N (250)  --force-reading N (300)
  --force-factor N (3)     --force-divisor N (2)    --cycle-flags BYTE (5)
  --controller-serial TEXT (C-981)  --tool-serial TEXT (T-417)  --firmware-version TEXT (1.04)
  --tool-model TEXT (RK-9 Crimp 6mm2)
  (every profile key is a flag of the same name; --position, --force and --firmware are short forms)
Codes other than D A H a c e g h are answered with status 0xA7, requests with a wrong checksum with 0xA6.

Faults (CODE is one character such as a, or a number such as 0x61; options marked + may repeat):
  --silent                 never answer
  --silent-after N         answer the first N requests only
  --silent-code CODE +     never answer this code
  --bad-checksum CODE +    wrong checksum in replies to this code
  --bad-checksum-rate R    wrong checksum in any reply with probability R (0-1), see --seed
  --seed N                 seed for the random choices (default 1)
  --fail CODE=STATUS +     answer this code with a failure status 0xA5-0xB1
  --garbage N              N random bytes (never 0x55) before each reply
  --notifications N        N 'W' notification frames before each reply
  --bad-type CODE +        reply to this code with type 0xB2, outside the reply set
  --byte-delay-us US       send replies byte by byte with this pause between bytes
  --reply-delay-ms MS      pause before each reply
  --short CODE[=LEN] +     cut the reply payload of this code to LEN bytes (default 4)
  --no-nul CODE +          send this code's text without its NUL
  --stray-after CODE +     follow the reply to this code with one unsolicited reply 55 5A 00 5A
  --hang-up-after N        answer N requests, then close the device when the next one arrives
                           (the program then waits to be stopped)

Tool after tool:
  --next-tool JSON         after --next-tool-after requests (default 9: a session and two keep-alives)
                           fall silent for --next-tool-silence-ms (default 2000), then answer as another
                           tool: the profile above with the keys of this JSON object, for example
                           --next-tool '{"tool_serial": "T-900", "cycle_counter": 7}'
  --help                   this text
)";
}

}  // namespace rk9sim
