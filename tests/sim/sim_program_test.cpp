// The rk9-sim program as a child process: ready line, serving a CModem, stop by pid with its summary.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/serial/port_holder.h"
#include "platform/serial/pseudo_terminal.h"
#include "platform/serial/uucp_lock.h"
#include "serial/modem.h"
#include "sim_options.h"
#include "support/pty_helpers.h"
#include "support/sim_process.h"

namespace {

using Args = std::vector<std::string>;

TEST(SimProgram, PrintsOneReadyLineServesRepeatedOpensAndStopsWithASummary) {
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.Start({"--com", "4", "--cycle-counter", "7"}));
    EXPECT_EQ(sim.ReadyLine(), "rk9-sim ready: " + sim.DevicePath() + " QUARVEL_PORTS=4=" + sim.DevicePath());
    testsupport::ScopedPorts ports("4=" + sim.DevicePath());
    // The simulator holds only the master: the port it offers has no other holder.
    EXPECT_FALSE(FindPortHolder(sim.DevicePath()).has_value());
    for (int round = 0; round < 3; ++round) {  // open and close as the probe and a connection do
        if (round > 0) {
            // Nobody has the slave open now: the simulator waits for the next open without using the CPU
            // (a loop on the master's hang-up would use most of the half second).
            const long before = testsupport::ProcessCpuMs(sim.Pid());
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            EXPECT_LT(testsupport::ProcessCpuMs(sim.Pid()) - before, 100) << round;
        }
        CModem modem;
        ASSERT_TRUE(modem.Open("baud=9600 parity=N data=8 stop=1", 4, 2000)) << round;
        const BYTE request[] = {0x55, 'a', 0x00, 'a'};
        ASSERT_NE(modem.Write(4, request, nullptr), 0);
        BYTE reply[22] = {};
        std::uint32_t total = 0;
        while (total < sizeof reply) {
            std::uint32_t received = 0;
            ASSERT_NE(modem.Read(sizeof reply - total, reply + total, &received), 0);
            ASSERT_GT(received, 0u) << "no reply within the read time-out";
            total += received;
        }
        EXPECT_EQ(reply[1], 0x5A);
        EXPECT_EQ(reply[3], 7);
    }
    ASSERT_TRUE(sim.Stop());
    EXPECT_NE(sim.Output().find("rk9-sim stopped: 3 requests: a=3"), std::string::npos) << sim.Output();

    // Started again, the object describes the new child only, even when the old device's number has
    // gone to another pseudo-terminal meanwhile (as it does while other tests run).
    PseudoTerminal squatter;
    std::string error;
    ASSERT_TRUE(squatter.Create(&error)) << error;
    ASSERT_TRUE(sim.Start({"--com", "5"}));
    EXPECT_EQ(sim.ReadyLine(), "rk9-sim ready: " + sim.DevicePath() + " QUARVEL_PORTS=5=" + sim.DevicePath());
    EXPECT_NE(sim.DevicePath(), squatter.DevicePath());
    ASSERT_TRUE(sim.Stop());
    EXPECT_EQ(sim.Output().find("a=3"), std::string::npos) << sim.Output();
}

TEST(SimProgram, ServingADeviceAnnouncesItWithALockFileUntilSigterm) {
    PseudoTerminal line;
    std::string error;
    ASSERT_TRUE(line.Create(&error)) << error;
    const std::string lock =
        std::string(std::getenv("QUARVEL_LOCK_DIR")) + "/" + UucpLockName(line.DevicePath());
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.Start({"--device", line.DevicePath()}));
    EXPECT_EQ(sim.ReadyLine().find("QUARVEL_PORTS=1=" + line.DevicePath()), std::string::npos)
        << sim.ReadyLine();
    EXPECT_NE(sim.ReadyLine().find("the other end"), std::string::npos) << sim.ReadyLine();
    EXPECT_EQ(ReadUucpLockPid(lock), sim.Pid());
    const std::optional<PortHolder> holder = FindPortHolder(line.DevicePath());
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->nPid, sim.Pid());
    EXPECT_EQ(holder->strProgram, "rk9-sim");
    ASSERT_TRUE(sim.Stop());  // SIGTERM
    EXPECT_FALSE(std::filesystem::exists(lock));
}

TEST(SimProgram, HelpDocumentsProfileAndFaults) {
    const char* help = rk9sim::SimHelpText();
    for (const char* option :
         {"--profile", "--no-keep-alive", "--silent-after", "--bad-checksum-rate", "--fail", "--garbage",
          "--notifications", "--bad-type", "--byte-delay-us", "--reply-delay-ms", "--short", "--no-nul",
          "--stray-after", "--hang-up-after", "--com", "--device"}) {
        EXPECT_NE(std::string(help).find(option), std::string::npos) << option;
    }
}

TEST(SimProgram, OptionsSetProfileAndFaultsAndRefuseBadValues) {
    rk9sim::SimOptions options;
    std::string error;
    ASSERT_TRUE(rk9sim::ParseSimOptions({"--no-keep-alive",
                                         "--fail",
                                         "a=0xA7",
                                         "--silent-code",
                                         "0x63",
                                         "--short",
                                         "D=3",
                                         "--short",
                                         "a",
                                         "--hang-up-after",
                                         "5",
                                         "--bad-checksum-rate",
                                         "0.25",
                                         "--seed",
                                         "9",
                                         "--tool-model",
                                         "M",
                                         "--position-counts",
                                         "77",
                                         "--force-reading",
                                         "88",
                                         "--firmware-version",
                                         "2.0"},
                                        options, &error))
        << error;
    EXPECT_EQ(options.profile.nDeviceFlags & rk9sim::kKeepAliveFlag, 0);
    // Every profile key is also a flag of the same name.
    EXPECT_EQ(options.profile.nPositionCounts, 77u);
    EXPECT_EQ(options.profile.nForceReading, 88u);
    EXPECT_EQ(options.profile.strFirmwareVersion, "2.0");
    EXPECT_EQ(options.faults.failStatus.at('a'), 0xA7);
    EXPECT_TRUE(options.faults.silentCodes.contains('c'));
    EXPECT_EQ(options.faults.shortPayload.at('D'), 3);
    EXPECT_EQ(options.faults.shortPayload.at('a'), 4);
    EXPECT_EQ(options.faults.hangUpAfter.value_or(0), 5u);
    EXPECT_DOUBLE_EQ(options.faults.dBadChecksumRate, 0.25);
    EXPECT_EQ(options.profile.strToolModel, "M");
    for (const Args& bad : {Args{"--fail", "a=0x20"}, Args{"--com", "0"}, Args{"--com"}, Args{"--bogus"},
                            Args{"--cycle-counter", "70000"}, Args{"--bad-checksum-rate", "2"},
                            Args{"--profile", "/nonexistent/profile.json"}, Args{"--info-bytes", "1,2"}}) {
        rk9sim::SimOptions o;
        EXPECT_FALSE(rk9sim::ParseSimOptions(bad, o, &error)) << bad[0];
    }
}

}  // namespace
