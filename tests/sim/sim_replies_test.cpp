// The simulator's replies, byte for byte, through a raw pseudo-terminal.
#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace {

using Bytes = std::vector<BYTE>;
using testsupport::SimClient;

TEST(SimReplies, DeviceInfoCarriesModelExtraBytesAndTheKeepAliveFlag) {
    SimClient client;
    ASSERT_TRUE(client.Ready());
    EXPECT_EQ(client.Exchange('D'), (Bytes{0x55, 0x5A, 0x10, 'R', 'K', '-', '9', 0,    0,    0,
                                           0,    0x01, 0x04, 0,   0,   0,   0,   0x20, 0x00, 0x62}));
}

TEST(SimReplies, CycleDataFollowsTheLayout) {
    SimClient client;
    ASSERT_TRUE(client.Ready());
    // 152, 873, 250, 300, two unread bytes, flags 5, one unread byte, divisor 2, factor 3.
    EXPECT_EQ(client.Exchange('a'),
              (Bytes{0x55, 0x5A, 0x12, 0x98, 0x00, 0x69, 0x03, 0x00, 0x00, 0xFA, 0x00,
                     0x2C, 0x01, 0x00, 0x00, 0x05, 0x00, 0x02, 0x00, 0x03, 0x00, 0x69}));
}

TEST(SimReplies, TextsEndInNulAndAttachAndKeepAliveAreBareSuccesses) {
    SimClient client;
    ASSERT_TRUE(client.Ready());
    EXPECT_EQ(client.Exchange('c'), (Bytes{0x55, 0x5A, 0x06, 'C', '-', '9', '8', '1', 0x00, 0x02}));
    const Bytes tool = client.Exchange('e');
    EXPECT_EQ(Bytes(tool.begin() + 3, tool.end() - 1), (Bytes{'T', '-', '4', '1', '7', 0}));
    const Bytes firmware = client.Exchange('g');
    EXPECT_EQ(Bytes(firmware.begin() + 3, firmware.end() - 1), (Bytes{'1', '.', '0', '4', 0}));
    const Bytes model = client.Exchange('h');
    EXPECT_EQ(std::string(model.begin() + 3, model.end() - 2), "RK-9 Crimp 6mm2");
    EXPECT_EQ(client.Exchange('A'), (Bytes{0x55, 0x5A, 0x00, 0x5A}));
    EXPECT_EQ(client.Exchange('H'), (Bytes{0x55, 0x5A, 0x00, 0x5A}));
}

TEST(SimReplies, OtherCodesGetAFailureStatus) {
    SimClient client;
    ASSERT_TRUE(client.Ready());
    for (BYTE code : {'B', 'M', 'b', 'n'})
        EXPECT_EQ(client.Exchange(code), (Bytes{0x55, 0xA7, 0x00, 0xA7})) << code;
    // A request with a wrong checksum is answered with 0xA6.
    const BYTE bad[] = {0x55, 'D', 0x00, 0x00};
    ASSERT_TRUE(client.Line().Write(bad, 4));
    EXPECT_EQ(client.Receive(4), (Bytes{0x55, 0xA6, 0x00, 0xA6}));
}

TEST(SimReplies, TheProfileShapesEveryReplyAndTheRequestsAreRecorded) {
    rk9sim::ToolProfile profile;
    profile.strModel = "XY-12";
    profile.nDeviceFlags = 0x01;  // keep-alive off
    profile.infoBytes = {9, 8, 7, 6, 5, 4, 3};
    profile.nTotalCounter = 0x01020304;
    profile.strControllerSerial = "";
    SimClient client(profile);
    ASSERT_TRUE(client.Ready());
    const Bytes info = client.Exchange('D');
    ASSERT_EQ(info.size(), 20u);
    EXPECT_EQ(Bytes(info.begin() + 3, info.begin() + 19),
              (Bytes{'X', 'Y', '-', '1', '2', 0, 0, 0, 9, 8, 7, 6, 5, 4, 0x01, 3}));
    const Bytes cycle = client.Exchange('a');
    EXPECT_EQ(Bytes(cycle.begin() + 5, cycle.begin() + 9), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(client.Exchange('c'), (Bytes{0x55, 0x5A, 0x01, 0x00, 0x5B}));

    const auto requests = client.Sim().Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].nCode, 'D');
    EXPECT_EQ(requests[2].nCode, 'c');
    EXPECT_LE(requests[0].at, requests[1].at);
    EXPECT_EQ(client.Sim().Counts().at('a'), 1u);
}

TEST(SimReplies, JsonProfileAppliesItsKeysAndRefusesBadOnesWhole) {
    rk9sim::ToolProfile profile;
    std::string error;
    ASSERT_TRUE(rk9sim::ApplyProfileJson(
        R"({"model":"RK-9","keep_alive":false,"cycle_counter":12,"tool_model":"Long model","info_bytes":[1,2,3,4,5,6,7]})",
        profile, &error))
        << error;
    EXPECT_EQ(profile.nDeviceFlags & rk9sim::kKeepAliveFlag, 0);
    EXPECT_EQ(profile.nCycleCounter, 12);
    EXPECT_EQ(profile.strToolModel, "Long model");
    EXPECT_EQ(profile.infoBytes[6], 7);
    const rk9sim::ToolProfile before = profile;
    for (const char* bad :
         {"", "[1]", "{\"cycle_counter\":70000}", "{\"model\":3}", "{\"info_bytes\":[1]}",
          "{\"cycle_counter\":-1}", "{\"tool_serial\":\"ok\",\"force_reading\":\"x\"}", "{"}) {
        EXPECT_FALSE(rk9sim::ApplyProfileJson(bad, profile, &error)) << bad;
        EXPECT_EQ(profile.strToolSerial, before.strToolSerial) << bad;
        EXPECT_EQ(profile.nCycleCounter, before.nCycleCounter) << bad;
    }
}

}  // namespace
