// The ten speeds of the connection dialog applied to a real pseudo-terminal and read back from its slave.
#include <gtest/gtest.h>

#include <string>

#include "platform/serial/pseudo_terminal.h"
#include "platform/serial/serial_line.h"
#include "serial/modem.h"
#include "support/pty_helpers.h"

namespace {

class ModemSpeed : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_pty.Create(&error)) << error;
        m_ports = std::make_unique<testsupport::ScopedPorts>("1=" + m_pty.DevicePath());
        ASSERT_TRUE(m_modem.Open("baud=9600 parity=N data=8 stop=1", 1, 100));
    }
    LineSettings ClientLine() {
        LineSettings line{0, '?', 0, StopBits::Two};
        EXPECT_TRUE(m_pty.GetClientLine(line));
        return line;
    }

    PseudoTerminal m_pty;
    std::unique_ptr<testsupport::ScopedPorts> m_ports;
    CModem m_modem;
};

TEST_F(ModemSpeed, OpenSetsRaw8N1AtTheProbeSpeed) {
    EXPECT_EQ(ClientLine(), (LineSettings{9600, 'N', 8, StopBits::One}));
}

TEST_F(ModemSpeed, EveryDialogSpeedIsApplied) {
    for (unsigned baud : {1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 21600u, 38400u, 57600u, 115200u}) {
        const std::string mode = "baud=" + std::to_string(baud) + " parity=N data=8 stop=1";
        EXPECT_TRUE(m_modem.SetMode(mode.c_str()));
        EXPECT_EQ(ClientLine(), (LineSettings{baud, 'N', 8, StopBits::One})) << mode;
    }
}

// A pseudo-terminal keeps 8 data bits without parity whatever it is told (the recording-device tests cover
// the framing handed on); speed and stop bits stick.
TEST_F(ModemSpeed, ShortFormAndStopBitsAreApplied) {
    EXPECT_TRUE(m_modem.SetMode("19200,n,8,2"));
    EXPECT_EQ(ClientLine(), (LineSettings{19200, 'N', 8, StopBits::Two}));
    EXPECT_TRUE(m_modem.SetMode("57600,n,8,1"));
    EXPECT_EQ(ClientLine(), (LineSettings{57600, 'N', 8, StopBits::One}));
}

TEST_F(ModemSpeed, UnparsableStringsLeaveTheLineAsItWas) {
    ASSERT_TRUE(m_modem.SetMode("baud=38400 parity=N data=8 stop=1"));
    for (const char* mode : {"", "baud=", "speed=9600", "baud=1200 parity=Q", "1200;n;8;1"}) {
        EXPECT_TRUE(m_modem.SetMode(mode)) << mode;
        EXPECT_EQ(ClientLine(), (LineSettings{38400, 'N', 8, StopBits::One})) << mode;
    }
}

// A driver that rounds a speed it cannot make exactly: the port keeps the settings it had, stop bits too.
TEST_F(ModemSpeed, ASpeedTheDriverRoundsLeavesTheLineAsItWas) {
    ASSERT_TRUE(m_modem.SetMode("baud=38400 parity=N data=8 stop=1"));
    struct Rounding {
        Rounding() {
            SetSpeedRoundingForTest([](unsigned baud) { return baud == 21600 ? 21504u : baud; });
        }
        ~Rounding() { SetSpeedRoundingForTest(nullptr); }
    } rounding;
    EXPECT_TRUE(m_modem.SetMode("baud=21600 parity=N data=8 stop=2"));
    EXPECT_EQ(ClientLine(), (LineSettings{38400, 'N', 8, StopBits::One}));
    EXPECT_TRUE(m_modem.SetMode("baud=19200 parity=N data=8 stop=2"));  // a speed it makes exactly
    EXPECT_EQ(ClientLine(), (LineSettings{19200, 'N', 8, StopBits::Two}));
}

TEST_F(ModemSpeed, CloseRestoresTheSettingsFoundAtOpen) {
    m_modem.Close();
    const LineSettings found = ClientLine();  // what the pty had before anyone opened it
    CModem other;
    ASSERT_TRUE(other.Open("baud=115200 parity=N data=8 stop=2", 1, 100));
    EXPECT_EQ(ClientLine(), (LineSettings{115200, 'N', 8, StopBits::Two}));
    other.Close();
    EXPECT_EQ(ClientLine(), found);
}

}  // namespace
