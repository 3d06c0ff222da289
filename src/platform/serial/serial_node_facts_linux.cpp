#include "platform/serial/serial_node_facts.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::string LinkName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

// "ttyUSB12" -> ("ttyUSB", 12); the kind is empty for names outside the three families.
std::pair<std::string, int> Family(const std::string& name) {
    for (const char* kind : {"ttyUSB", "ttyACM", "ttyS"}) {
        const std::string prefix = kind;
        if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 4 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        return {prefix, std::stoi(digits)};
    }
    return {"", 0};
}

int FamilyOrder(const std::string& kind) { return kind == "ttyS" ? 0 : kind == "ttyUSB" ? 1 : 2; }

// The USB device (the directory with idVendor) above the tty's device, within the sysfs tree.
void AddUsbFacts(const fs::path& device, const fs::path& root, SerialNodeFacts& facts) {
    std::error_code ec;
    const fs::path top = fs::canonical(root, ec);
    if (ec) return;
    for (fs::path dir = fs::canonical(device, ec); !ec && !dir.empty() && dir != top;
         dir = dir.parent_path()) {
        const std::string text = dir.string();
        if (text.compare(0, top.string().size(), top.string()) != 0 || dir == dir.parent_path()) return;
        if (!fs::exists(dir / "idVendor")) continue;
        facts.strUsbVendor = ReadLine(dir / "idVendor");
        facts.strUsbProduct = ReadLine(dir / "idProduct");
        facts.strProduct = ReadLine(dir / "product");
        facts.strSerial = ReadLine(dir / "serial");
        return;
    }
}

SerialNodeFacts FactsForTty(const std::string& name, const std::string& sysfsRoot) {
    SerialNodeFacts facts;
    facts.strName = name;
    facts.strPath = "/dev/" + name;
    const fs::path device = fs::path(sysfsRoot) / "class" / "tty" / name / "device";
    facts.strDriver = LinkName(device / "driver");
    const std::string latency = ReadLine(device / "latency_timer");
    if (!latency.empty() &&
        std::all_of(latency.begin(), latency.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        latency.size() < 6) {
        facts.latencyTimerMs = std::stoi(latency);
    }
    AddUsbFacts(device, sysfsRoot, facts);
    return facts;
}

// A ttyS is listed only with a UART behind it: the serial core reports type 0 for a port without one.
bool HasHardware(const std::string& name, const std::string& kind, const std::string& sysfsRoot) {
    const fs::path tty = fs::path(sysfsRoot) / "class" / "tty" / name;
    std::error_code ec;
    if (!fs::exists(tty / "device", ec)) return false;
    if (kind != "ttyS") return true;
    const std::string type = ReadLine(tty / "type");
    return !type.empty() && type != "0";
}

}  // namespace

std::vector<SerialNodeFacts> ListSerialNodes(const std::string& sysfsRoot) {
    std::vector<std::pair<std::pair<int, int>, std::string>> names;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(sysfsRoot) / "class" / "tty", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto [kind, number] = Family(name);
        if (!kind.empty() && HasHardware(name, kind, sysfsRoot))
            names.push_back({{FamilyOrder(kind), number}, name});
    }
    std::sort(names.begin(), names.end());
    std::vector<SerialNodeFacts> nodes;
    for (const auto& entry : names) nodes.push_back(FactsForTty(entry.second, sysfsRoot));
    return nodes;
}

SerialNodeFacts DescribeSerialNode(const std::string& path, const std::string& sysfsRoot) {
    const std::string name = fs::path(CanonicalDevicePath(path)).filename().string();
    std::error_code ec;
    if (!Family(name).first.empty() && fs::exists(fs::path(sysfsRoot) / "class" / "tty" / name, ec)) {
        SerialNodeFacts facts = FactsForTty(name, sysfsRoot);
        facts.strPath = path;
        return facts;
    }
    SerialNodeFacts facts;
    facts.strPath = path;
    return facts;
}

std::string SerialByIdAlias(const std::string& path, const std::string& byIdDir) {
    const std::string target = CanonicalDevicePath(path);
    std::error_code ec;
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec) && CanonicalDevicePath(it->path().string()) == target) {
            return it->path().filename().string();
        }
    }
    return {};
}

std::string CanonicalDevicePath(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(path, ec);
    return ec ? path : canonical.string();
}

bool IsTerminalNode(const std::string& path, const std::string& sysfsRoot, const std::string& procRoot) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;  // missing: the caller says so itself
    if (!S_ISCHR(st.st_mode)) return false;
    const unsigned major = ::major(st.st_rdev);
    const unsigned minor = ::minor(st.st_rdev);
    // sysfs knows most devices by number; pseudo-terminals are not among them.
    const fs::path node =
        fs::path(sysfsRoot) / "dev" / "char" / (std::to_string(major) + ":" + std::to_string(minor));
    std::error_code ec;
    if (fs::exists(node, ec)) return LinkName(node / "subsystem") == "tty";
    // /proc/devices names the driver of each character major ("1 mem", "136 pts", "188 ttyUSB").
    std::ifstream devices(fs::path(procRoot) / "devices");
    // One major may carry several names ("4 /dev/vc/0", "4 tty", "4 ttyS"): any terminal one counts.
    std::string line;
    bool listed = false;
    while (std::getline(devices, line)) {
        if (line.rfind("Block", 0) == 0) break;
        std::istringstream fields(line);
        unsigned number = 0;
        std::string name;
        if (!(fields >> number >> name) || number != major) continue;
        listed = true;
        if (name == "pts" || name == "rfcomm" || name.rfind("tty", 0) == 0 || name.rfind("/dev/tty", 0) == 0)
            return true;
    }
    return !listed;
}

bool SerialNodeExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}
