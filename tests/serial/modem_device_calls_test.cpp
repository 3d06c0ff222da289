// The order and content of CModem's device calls, observed through the device seam.
#include <gtest/gtest.h>

#include <optional>

#include "serial/modem.h"
#include "support/pty_helpers.h"
#include "support/recording_serial_device.h"

namespace {

using testsupport::DeviceLog;
using testsupport::RecordingFactory;
using Calls = std::vector<std::string>;

constexpr const char* kMode = "baud=9600 parity=N data=8 stop=1";

class ModemDeviceCalls : public ::testing::Test {
protected:
    std::shared_ptr<DeviceLog> m_log = std::make_shared<DeviceLog>();
    testsupport::ScopedPorts m_ports{"2=/dev/fake"};
};

TEST_F(ModemDeviceCalls, OpenConfiguresThenPurgesAndCloseSetsTheBreakFirst) {
    CModem modem(RecordingFactory(m_log));
    ASSERT_TRUE(modem.Open(kMode, 2, 2000));
    EXPECT_EQ(m_log->calls, (Calls{"Open /dev/fake", "GetLowLatency", "GetLine", "SetLine 9600", "Purge"}));
    m_log->calls.clear();
    EXPECT_TRUE(modem.Close());
    EXPECT_EQ(m_log->calls, (Calls{"SetBreak", "Close", "Destroy"}));
    m_log->calls.clear();
    EXPECT_TRUE(modem.Close());
    EXPECT_TRUE(m_log->calls.empty());
}

TEST_F(ModemDeviceCalls, LowLatencyIsAskedForAtOpenAndPutBackAtClose) {
    struct Case {
        std::optional<bool> before;
        bool refuse;
        Calls open, close;
    };
    const Case cases[] = {
        // Off before: switched on at Open, back off at Close (before the break).
        {false,
         false,
         {"GetLowLatency", "SetLowLatency 1"},
         {"SetLowLatency 0", "SetBreak", "Close", "Destroy"}},
        // Already on: left alone both times.
        {true, false, {"GetLowLatency"}, {"SetBreak", "Close", "Destroy"}},
        // A driver without the setting (a pty, CDC ACM), or one that refuses it: the port opens all the same.
        {std::nullopt, false, {"GetLowLatency"}, {"SetBreak", "Close", "Destroy"}},
        {false, true, {"GetLowLatency", "SetLowLatency 1"}, {"SetBreak", "Close", "Destroy"}},
    };
    for (const Case& c : cases) {
        m_log->calls.clear();
        m_log->lowLatency = c.before;
        m_log->bRefuseLowLatency = c.refuse;
        CModem modem(RecordingFactory(m_log));
        ASSERT_TRUE(modem.Open(kMode, 2, 2000));
        const Calls opened(m_log->calls.begin() + 1,
                           m_log->calls.begin() + 1 + static_cast<long>(c.open.size()));
        EXPECT_EQ(opened, c.open);
        m_log->calls.clear();
        modem.Close();
        EXPECT_EQ(m_log->calls, c.close);
        EXPECT_EQ(m_log->lowLatency, c.before);
    }
}

TEST_F(ModemDeviceCalls, DestroyingAnOpenPortClosesItBreakFirst) {
    {
        CModem modem(RecordingFactory(m_log));
        ASSERT_TRUE(modem.Open(kMode, 2, 2000));
        m_log->calls.clear();
    }
    EXPECT_EQ(m_log->calls, (Calls{"SetBreak", "Close", "Destroy"}));
}

TEST_F(ModemDeviceCalls, AFailedOpenTouchesNoLineAndSetsNoBreak) {
    m_log->nOpenResult = ERROR_SHARING_VIOLATION;
    {
        CModem modem(RecordingFactory(m_log));
        EXPECT_FALSE(modem.Open(kMode, 2, 2000));
        EXPECT_EQ(modem.GetLastOpenError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(m_log->calls, (Calls{"Open /dev/fake", "Destroy"}));
}

TEST_F(ModemDeviceCalls, SetModeHandsTheSpeedOnUnchangedAndKeepsTheRestOfTheLine) {
    CModem modem(RecordingFactory(m_log));
    ASSERT_TRUE(modem.Open("baud=21600 parity=N data=8 stop=1", 2, 2000));
    ASSERT_EQ(m_log->linesSet.size(), 1u);
    EXPECT_EQ(m_log->linesSet[0], (LineSettings{21600, 'N', 8, StopBits::One}));  // 21600, not 28800
    EXPECT_TRUE(modem.SetMode("14400"));
    ASSERT_EQ(m_log->linesSet.size(), 2u);
    EXPECT_EQ(m_log->linesSet[1], (LineSettings{14400, 'N', 8, StopBits::One}));
}

TEST_F(ModemDeviceCalls, AnUnparsableModeChangesNothingButSetModeStillSucceeds) {
    CModem modem(RecordingFactory(m_log));
    ASSERT_TRUE(modem.Open("nonsense", 2, 2000));  // a device that opens is usable whatever its mode
    EXPECT_TRUE(m_log->linesSet.empty());
    EXPECT_TRUE(modem.SetMode("baud=fast"));
    EXPECT_TRUE(modem.SetMode(nullptr));
    EXPECT_TRUE(m_log->linesSet.empty());
}

}  // namespace
