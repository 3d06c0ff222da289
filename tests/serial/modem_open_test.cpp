#include <gtest/gtest.h>

#include "platform/serial/pseudo_terminal.h"
#include "serial/modem.h"
#include "support/pty_helpers.h"
#include "support/recording_serial_device.h"

namespace {

using testsupport::DeviceLog;
using testsupport::RecordingFactory;
using testsupport::ScopedPorts;

constexpr const char* kMode = "baud=9600 parity=N data=8 stop=1";

void CreatePty(PseudoTerminal& pty) {
    std::string error;
    ASSERT_TRUE(pty.Create(&error)) << error;
}

TEST(ModemOpen, NewPortIsClosedWithStoredSettingOne) {
    CModem modem;
    EXPECT_EQ(modem.GetSetting(), 1);
    modem.SetSetting(7);
    EXPECT_EQ(modem.GetSetting(), 7);
    EXPECT_EQ(modem.GetPortNumber(), -1);
    EXPECT_FALSE(modem.IsOpen());
    EXPECT_FALSE(modem.SetMode(kMode));
    EXPECT_TRUE(modem.Close());
    EXPECT_TRUE(modem.Close());
    EXPECT_EQ(modem.CancelRead(), 0);
    std::uint32_t received = 99;
    BYTE byte = 0;
    EXPECT_NE(modem.Read(1, &byte, &received), 0);
    EXPECT_EQ(received, 0u);
}

TEST(ModemOpen, NumbersOutsideOneTo256AreRefusedWithoutTouchingAnything) {
    auto log = std::make_shared<DeviceLog>();
    ScopedPorts ports("1=/dev/one,256=/dev/last");
    CModem modem(RecordingFactory(log));
    for (int port : {0, -1, 257, -32768, 65536}) {
        EXPECT_FALSE(modem.Open(kMode, port, 10)) << port;
        EXPECT_EQ(modem.GetPortNumber(), -1);
    }
    EXPECT_EQ(log->nCreated, 0);
    EXPECT_TRUE(log->calls.empty());
    EXPECT_TRUE(modem.GetDevicePath().empty());
}

TEST(ModemOpen, NumbersOneAnd256AreAttempted) {
    auto log = std::make_shared<DeviceLog>();
    log->nOpenResult = ERROR_FILE_NOT_FOUND;
    ScopedPorts ports("1=/dev/one,256=/dev/last");
    CModem modem(RecordingFactory(log));
    EXPECT_FALSE(modem.Open(kMode, 1, 10));
    EXPECT_FALSE(modem.Open(kMode, 256, 10));
    EXPECT_EQ(log->nCreated, 2);
    EXPECT_EQ(log->calls[0], "Open /dev/one");
    EXPECT_EQ(log->calls[2], "Open /dev/last");
    EXPECT_EQ(modem.GetLastOpenError(), ERROR_FILE_NOT_FOUND);
}

TEST(ModemOpen, OpensAMappedPtyAndReportsItsNumber) {
    PseudoTerminal pty;
    CreatePty(pty);
    ScopedPorts ports("7=" + pty.DevicePath());
    CModem modem;
    ASSERT_TRUE(modem.Open(kMode, 7, 10));
    EXPECT_TRUE(modem.IsOpen());
    EXPECT_EQ(modem.GetPortNumber(), 7);
    EXPECT_EQ(modem.GetLastOpenError(), 0u);
    EXPECT_TRUE(modem.SetMode("baud=19200 parity=N data=8 stop=1"));
    EXPECT_TRUE(modem.Close());
    EXPECT_EQ(modem.GetPortNumber(), -1);
    EXPECT_TRUE(modem.Close());
}

TEST(ModemOpen, AFailedOpenLeavesTheObjectReusable) {
    PseudoTerminal pty;
    CreatePty(pty);
    ScopedPorts ports("3=/dev/quarvel-no-such-device,4=" + pty.DevicePath());
    CModem modem;
    EXPECT_FALSE(modem.Open(kMode, 2, 10));  // unmapped
    EXPECT_FALSE(modem.IsOpen());
    EXPECT_FALSE(modem.Open(kMode, 3, 10));  // mapped, missing
    EXPECT_EQ(modem.GetLastOpenError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(modem.GetPortNumber(), -1);
    ASSERT_TRUE(modem.Open(kMode, 4, 10));
    EXPECT_EQ(modem.GetPortNumber(), 4);
}

TEST(ModemOpen, ExclusiveOpenRefusesASecondOpenerAndAForeignLock) {
    PseudoTerminal pty;
    CreatePty(pty);
    ScopedPorts ports("1=" + pty.DevicePath());
    {
        CModem first;
        ASSERT_TRUE(first.Open(kMode, 1, 10));
        CModem second;
        EXPECT_FALSE(second.Open(kMode, 1, 10));
        EXPECT_FALSE(second.IsOpen());
        EXPECT_EQ(second.GetPortNumber(), -1);
        EXPECT_EQ(second.GetLastOpenError(), ERROR_SHARING_VIOLATION);
    }
    {
        // Another program holding flock on its own descriptor (this also keeps root out).
        testsupport::LockedDevice other(pty.DevicePath());
        ASSERT_TRUE(other.IsLocked());
        CModem modem;
        EXPECT_FALSE(modem.Open(kMode, 1, 10));
        EXPECT_EQ(modem.GetLastOpenError(), ERROR_SHARING_VIOLATION);
    }
    // Released by both: the port opens again, repeatedly.
    for (int i = 0; i < 3; ++i) {
        CModem modem;
        EXPECT_TRUE(modem.Open(kMode, 1, 10)) << i;
    }
}

TEST(ModemOpen, ANonTerminalIsNotAPort) {
    ScopedPorts ports("1=/dev/null");
    CModem modem;
    EXPECT_FALSE(modem.Open(kMode, 1, 10));
    EXPECT_EQ(modem.GetLastOpenError(), ERROR_NOT_SUPPORTED);
}

}  // namespace
