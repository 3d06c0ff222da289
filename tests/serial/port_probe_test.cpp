#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/serial/port_holder.h"
#include "platform/serial/pseudo_terminal.h"
#include "platform/serial/uucp_lock.h"
#include "serial/port_probe.h"
#include "support/pty_helpers.h"
#include "support/spawned_program.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string LockText(int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What another program would lose if the probe touched its port: the input it has not read yet and its
// terminal settings, seen through a descriptor of this process (which the probe never counts as a holder).
struct LineState {
    int nPending = -1;
    termios tio{};
    bool operator==(const LineState& other) const {
        return nPending == other.nPending && tio.c_iflag == other.tio.c_iflag &&
               tio.c_oflag == other.tio.c_oflag && tio.c_cflag == other.tio.c_cflag &&
               tio.c_lflag == other.tio.c_lflag &&
               std::memcmp(tio.c_cc, other.tio.c_cc, sizeof tio.c_cc) == 0 &&
               cfgetispeed(&tio) == cfgetispeed(&other.tio) && cfgetospeed(&tio) == cfgetospeed(&other.tio);
    }
};

LineState StateOf(int fd) {
    LineState state;
    (void)ioctl(fd, FIONREAD, &state.nPending);
    (void)tcgetattr(fd, &state.tio);
    return state;
}

TEST(PortProbe, OpensTheMappedPortsInOrderReusingOneSpareAndReportsABusyPort) {
    PseudoTerminal a, b, c, held;
    std::string error;
    for (PseudoTerminal* pty : {&a, &b, &c, &held}) ASSERT_TRUE(pty->Create(&error)) << error;
    // Listed out of order on purpose; the probe goes by number.
    testsupport::ScopedPorts ports("10=" + c.DevicePath() + ",2=" + a.DevicePath() + ",5=" + b.DevicePath() +
                                   ",7=" + held.DevicePath() + ",8=/dev/quarvel-no-such-device");
    CModem other;  // another program holds COM7
    ASSERT_TRUE(other.Open(kProbeMode, 7, 10));

    int created = 0;
    const SerialDeviceFactory counting = [&created] {
        ++created;
        return CreateSerialDevice();
    };
    ProbeResult result = ProbePorts(2000, counting);

    ASSERT_EQ(result.ports.size(), 3u);
    EXPECT_EQ(result.ports[0]->GetPortNumber(), 2);
    EXPECT_EQ(result.ports[1]->GetPortNumber(), 5);
    EXPECT_EQ(result.ports[2]->GetPortNumber(), 10);
    for (const auto& port : result.ports) EXPECT_TRUE(port->IsOpen());
    // One device per mapped number tried (2, 5, 7, 8, 10); unmapped numbers never reach a device.
    EXPECT_EQ(created, 5);
    EXPECT_EQ(result.nModemsCreated, 4);  // a spare that failed serves the next number

    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(result.refused[0].nPort, 7);
    EXPECT_EQ(result.refused[0].eReason, PortRefusal::Reason::Busy);
    EXPECT_EQ(result.refused[0].strPath, held.DevicePath());
    // The holder is this very process, which the search for holders passes over: flock tells.
    EXPECT_EQ(DescribeRefusal(result.refused[0]),
              "COM7 (" + held.DevicePath() + "): busy: in use by another program");

    // The probed ports stay open (exclusively) until released.
    CModem late;
    EXPECT_FALSE(late.Open(kProbeMode, 5, 10));
    result.ports.clear();
    EXPECT_TRUE(late.Open(kProbeMode, 5, 10));
}

TEST(PortProbe, APortAnotherProcessHoldsPlainlyIsNamedAndKeepsItsInputAndSettings) {
    PseudoTerminal line;
    std::string error;
    ASSERT_TRUE(line.Create(&error)) << error;
    const std::string path = line.DevicePath();
    testsupport::HoldingProcess holder(path);  // opened with no lock at all, as a terminal program does
    ASSERT_GT(holder.Pid(), 0);
    const int look = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(look, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(look, &tio), 0);
    cfsetspeed(&tio, B4800);  // not what the probe would set
    ASSERT_EQ(tcsetattr(look, TCSANOW, &tio), 0);
    const std::vector<BYTE> unread(31, 'q');
    ASSERT_TRUE(line.Write(unread.data(), unread.size()));
    for (int i = 0; i < 100 && StateOf(look).nPending < 31; ++i) {  // the pty hands bytes on asynchronously
        pollfd fd{look, POLLIN, 0};
        (void)::poll(&fd, 1, 20);
    }
    const LineState before = StateOf(look);
    ASSERT_EQ(before.nPending, 31);
    // This process has the device open too (`look`), yet it is never named: it is not another program.
    testsupport::ScopedPorts ports("4=" + path);
    const std::string busy =
        "COM4 (" + path + "): busy: held by sleep (pid " + std::to_string(holder.Pid()) + ")";
    const ProbeResult result = ProbePorts(2000);
    EXPECT_TRUE(result.ports.empty());
    ASSERT_EQ(result.refused.size(), 1u);
    EXPECT_EQ(DescribeRefusal(result.refused[0]), busy);
    EXPECT_TRUE(StateOf(look) == before) << StateOf(look).nPending << " bytes pending";

    // quarvel-cli would rightly name this process too while it looks: it looks again after each run.
    ::close(look);
    const std::string held = "busy: held by sleep (pid " + std::to_string(holder.Pid()) + ")\n";
    const struct {
        std::vector<std::string> args;
        std::string line;
    } runs[] = {{{"ports"}, "COM4 (" + path + "): " + held},
                {{"read", "--port", "4"}, "COM4 (" + path + ") would not open: " + held}};
    for (const auto& run : runs) {
        SpawnedProgram cli;
        std::vector<std::string> argv = {BuiltProgram("tools/quarvel-cli/quarvel-cli")};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        ASSERT_TRUE(cli.Start(argv, {{"QUARVEL_PORTS", "4=" + path}}, &error)) << error;
        int exitCode = -1;
        ASSERT_TRUE(cli.WaitForExit(30000, &exitCode));
        EXPECT_EQ(exitCode, 3);  // no port opened
        EXPECT_NE(cli.Err().find(run.line), std::string::npos) << cli.Err();
        const int again = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(again, 0);
        EXPECT_TRUE(StateOf(again) == before)
            << run.args[0] << ": " << StateOf(again).nPending << " bytes pending";
        ::close(again);
    }
}

TEST(PortProbe, ALockFileOfALivingProcessMakesThePortBusyAndAnyOtherIsReplacedByOurOwn) {
    TempDir locks;
    testsupport::ScopedEnv folder("QUARVEL_LOCK_DIR", locks.Path());
    PseudoTerminal line;
    std::string error;
    ASSERT_TRUE(line.Create(&error)) << error;
    testsupport::ScopedPorts ports("4=" + line.DevicePath());
    const std::string lock = locks.File(UucpLockName(line.DevicePath()));
    EXPECT_EQ(lock, locks.File("LCK.." + line.DevicePath().substr(5).replace(3, 1, "_")));  // LCK..pts_N
    testsupport::HoldingProcess living("/dev/null");  // alive; holds nothing but its lock
    ASSERT_GT(living.Pid(), 0);
    const int pid = living.Pid();
    const std::string binaryPid(reinterpret_cast<const char*>(&pid), sizeof pid);
    struct Case {
        const char* what;
        std::string content;
        bool bBusy;
    } cases[] = {
        {"ten digits of a living pid", LockText(pid), true},
        {"the old binary form of a living pid", binaryPid, true},
        {"the pid of an ended process", LockText(testsupport::PidOfAnEndedProcess()), false},
        {"this process's own pid", LockText(static_cast<int>(::getpid())), false},
        {"no pid at all", "garbage\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(lock, std::ios::binary) << c.content;
        const std::optional<PortHolder> holder = FindPortHolder(line.DevicePath());
        ProbeResult result = ProbePorts(2000);
        if (c.bBusy) {
            ASSERT_TRUE(holder.has_value());
            EXPECT_EQ(holder->nPid, pid);
            EXPECT_EQ(holder->strProgram, "sleep");
            EXPECT_TRUE(result.ports.empty());
            ASSERT_EQ(result.refused.size(), 1u);
            EXPECT_NE(
                DescribeRefusal(result.refused[0]).find(": busy: held by sleep (pid " + std::to_string(pid)),
                std::string::npos);
            EXPECT_EQ(FileText(lock), c.content);  // another program's lock is never touched
        } else {
            EXPECT_FALSE(holder.has_value());
            ASSERT_EQ(result.ports.size(), 1u);
            EXPECT_EQ(FileText(lock), LockText(static_cast<int>(::getpid())));  // ours while the port is open
            result.ports.clear();
            EXPECT_FALSE(fs::exists(lock));  // and gone with the close
        }
    }
    // Where the lock folder cannot be written, the port opens all the same and nothing is written.
    testsupport::ScopedEnv nowhere("QUARVEL_LOCK_DIR", locks.File("no-such-folder"));
    CModem modem;
    EXPECT_TRUE(modem.Open(kProbeMode, 4, 10));
    EXPECT_TRUE(fs::is_empty(locks.Path()));
}

TEST(PortProbe, NothingOpensWhenNothingIsMapped) {
    testsupport::ScopedPorts ports("");
    const ProbeResult result = ProbePorts(2000);
    EXPECT_TRUE(result.ports.empty());
    EXPECT_TRUE(result.refused.empty());
}

TEST(PortProbe, DescribesAPermissionRefusalWithTheDeviceGroup) {
    PortRefusal refusal{3, "/dev/ttyUSB0", PortRefusal::Reason::AccessDenied, "dialout", {}};
    EXPECT_EQ(DescribeRefusal(refusal), "COM3 (/dev/ttyUSB0): permission denied; join the group dialout");
}

}  // namespace
