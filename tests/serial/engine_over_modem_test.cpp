// The protocol engine over CModem on a real pseudo-terminal, against the in-process simulator.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "protocol/hs_protocol_app.h"
#include "serial/modem.h"
#include "simulator.h"
#include "support/deadline.h"
#include "support/pty_helpers.h"

namespace {

using namespace std::chrono_literals;

double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

class EngineOverModem : public ::testing::Test {
protected:
    void StartSim(rk9sim::ToolProfile profile = {}, rk9sim::FaultPlan faults = {}) {
        m_sim = std::make_unique<rk9sim::Simulator>(profile, faults);
        std::string error;
        ASSERT_TRUE(m_sim->OpenPty(&error)) << error;
        ASSERT_TRUE(m_sim->Start());
        m_ports = std::make_unique<testsupport::ScopedPorts>("3=" + m_sim->DevicePath());
    }
    void TearDown() override {
        if (m_sim) m_sim->Stop();
    }
    std::unique_ptr<rk9sim::Simulator> m_sim;
    std::unique_ptr<testsupport::ScopedPorts> m_ports;
};

TEST_F(EngineOverModem, EveryCommandWorksEndToEndAtEachSpeed) {
    StartSim();
    for (const char* speed :
         {"1200", "2400", "4800", "9600", "14400", "19200", "21600", "38400", "57600", "115200"}) {
        SCOPED_TRACE(speed);
        auto port = std::make_unique<CModem>();
        ASSERT_TRUE(port->Open("baud=9600 parity=N data=8 stop=1", 3, 2000));
        const std::string mode = std::string("baud=") + speed + " parity=N data=8 stop=1";
        ASSERT_TRUE(port->SetMode(mode.c_str()));
        LineSettings line;
        ASSERT_TRUE(m_sim->GetClientLine(line));
        EXPECT_EQ(line.nBaud, std::stoul(speed));

        auto engine = std::make_unique<CHSProtocolApp>(port.get());
        ASSERT_TRUE(engine->m_bStarted);
        BYTE info[16] = {};
        ASSERT_EQ(engine->GetDeviceInfo(info), STATUS_OK);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(info)), "RK-9");
        EXPECT_EQ(info[14], 0x20);
        EXPECT_EQ(engine->SendCommand(CMD_ATTACH), STATUS_OK);
        EXPECT_EQ(engine->SendCommand(CMD_KEEP_ALIVE), STATUS_OK);
        DWORD v[7] = {};
        ASSERT_EQ(engine->GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), STATUS_OK);
        EXPECT_EQ(v[0], 152u);
        EXPECT_EQ(v[1], 873u);
        EXPECT_EQ(v[2], 250u);
        EXPECT_EQ(v[3], 300u);
        EXPECT_EQ(v[4], 5u);
        EXPECT_EQ(v[5], 2u);
        EXPECT_EQ(v[6], 3u);
        char16_t controller[CONTROLLER_SERIAL_UNITS] = {}, tool[TOOL_SERIAL_UNITS] = {};
        char16_t firmware[FIRMWARE_VERSION_UNITS] = {}, model[TOOL_MODEL_UNITS] = {};
        ASSERT_EQ(engine->GetControllerSerial(controller), STATUS_OK);
        EXPECT_EQ(std::u16string(controller), u"C-981");
        ASSERT_EQ(engine->GetToolSerial(tool), STATUS_OK);
        EXPECT_EQ(std::u16string(tool), u"T-417");
        ASSERT_EQ(engine->GetFirmwareVersion(firmware), STATUS_OK);
        EXPECT_EQ(std::u16string(firmware), u"1.04");
        ASSERT_EQ(engine->GetToolModel(model), STATUS_OK);
        EXPECT_EQ(std::u16string(model), u"RK-9 Crimp 6mm2");
        // The engine goes before the port, as the session releases them.
        RunWithin(
            5000, [&] { engine.reset(); }, "engine teardown");
        port.reset();
    }
    EXPECT_EQ(m_sim->Counts().at('D'), 10u);
}

TEST_F(EngineOverModem, FailureStatusesAndCorruptRepliesReachTheCaller) {
    rk9sim::FaultPlan faults;
    faults.failStatus['a'] = 0xA7;
    faults.badChecksumCodes = {'c'};
    faults.nGarbageBytes = 3;
    faults.nNotifications = 1;
    faults.nByteDelayUs = 200;
    StartSim({}, faults);
    CModem port;
    ASSERT_TRUE(port.Open("baud=115200 parity=N data=8 stop=1", 3, 2000));
    auto engine = std::make_unique<CHSProtocolApp>(&port);
    ASSERT_TRUE(engine->m_bStarted);
    DWORD v[7] = {1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(engine->GetCycleData(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), 0xA7);
    EXPECT_EQ(v[0], 1u);
    char16_t text[CHSProtocolApp::CONTROLLER_SERIAL_UNITS] = u"x";
    EXPECT_EQ(engine->GetControllerSerial(text), STATUS_BAD_REPLY);
    EXPECT_EQ(std::u16string(text), u"x");
    BYTE info[16] = {};
    EXPECT_EQ(engine->GetDeviceInfo(info), STATUS_OK);  // garbage and notifications are skipped
    RunWithin(
        5000, [&] { engine.reset(); }, "engine teardown");
}

TEST_F(EngineOverModem, AHangUpLeavesTheReceiverIdleAndTeardownPrompt) {
    StartSim();
    CModem port;
    ASSERT_TRUE(port.Open("baud=115200 parity=N data=8 stop=1", 3, 2000));
    auto engine = std::make_unique<CHSProtocolApp>(&port);
    ASSERT_TRUE(engine->m_bStarted);
    BYTE info[16] = {};
    ASSERT_EQ(engine->GetDeviceInfo(info), STATUS_OK);

    m_sim->HangUpNow();
    ASSERT_TRUE(m_sim->WaitForHangUp(3s));

    // Measure over 1.5 s of a dead line: the receiver must back off, not spin on the failing Read.
    const double cpuBefore = ProcessCpuMs();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1500ms);
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double wallMs = testsupport::MsSince(wallBefore);
    EXPECT_LT(cpuMs / wallMs, 0.05) << cpuMs << " ms of CPU in " << wallMs << " ms";

    const long long teardownMs = RunWithin(
        10000, [&] { engine.reset(); }, "engine teardown after hang-up");
    EXPECT_LT(teardownMs, 1000);  // well below the 2000 ms read time-out: no Read was left to run out
    EXPECT_TRUE(port.Close());
}

}  // namespace
