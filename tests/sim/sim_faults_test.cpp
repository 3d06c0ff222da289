// The simulator's fault injection, byte for byte, through a raw pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>

#include "support/pty_helpers.h"
#include "support/sim_client.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<BYTE>;
using testsupport::SimClient;
using testsupport::StaysQuiet;

const Bytes kOk = {0x55, 0x5A, 0x00, 0x5A};

TEST(SimFaults, SilenceAlwaysAfterNExchangesOrForOneCode) {
    {
        rk9sim::FaultPlan faults;
        faults.bSilent = true;
        SimClient client({}, faults);
        ASSERT_TRUE(client.Ready());
        ASSERT_TRUE(client.Send('H'));
        ASSERT_TRUE(client.Sim().WaitForRequests(1, 3s));
        EXPECT_TRUE(StaysQuiet(client.Line(), 100ms));
    }
    {
        rk9sim::FaultPlan faults;
        faults.silentAfter = 2;
        SimClient client({}, faults);
        ASSERT_TRUE(client.Ready());
        EXPECT_EQ(client.Exchange('H'), kOk);
        EXPECT_EQ(client.Exchange('A'), kOk);
        EXPECT_TRUE(client.Exchange('H', 150ms).empty());
    }
    {
        rk9sim::FaultPlan faults;
        faults.silentCodes = {'a'};
        SimClient client({}, faults);
        ASSERT_TRUE(client.Ready());
        EXPECT_TRUE(client.Exchange('a', 150ms).empty());
        EXPECT_EQ(client.Exchange('H'), kOk);
    }
}

TEST(SimFaults, WrongChecksumForOneCodeOrAtARate) {
    rk9sim::FaultPlan faults;
    faults.badChecksumCodes = {'A'};
    SimClient client({}, faults);
    ASSERT_TRUE(client.Ready());
    EXPECT_EQ(client.Exchange('A'), (Bytes{0x55, 0x5A, 0x00, 0xA5}));
    EXPECT_EQ(client.Exchange('H'), kOk);

    rk9sim::FaultPlan always;
    always.dBadChecksumRate = 1.0;
    SimClient corrupt({}, always);
    ASSERT_TRUE(corrupt.Ready());
    EXPECT_EQ(corrupt.Exchange('H'), (Bytes{0x55, 0x5A, 0x00, 0xA5}));

    // The same seed gives the same sequence of corrupted replies.
    rk9sim::FaultPlan half;
    half.dBadChecksumRate = 0.5;
    half.nSeed = 42;
    auto pattern = [&half] {
        rk9sim::Responder responder({}, half);
        std::string bits;
        for (int i = 0; i < 32; ++i)
            bits += responder.Answer({'H', {}, true}).bytes.back() == 0x5A ? '.' : 'x';
        return bits;
    };
    const std::string first = pattern();
    EXPECT_EQ(first, pattern());
    EXPECT_NE(first.find('x'), std::string::npos);
    EXPECT_NE(first.find('.'), std::string::npos);
}

TEST(SimFaults, FailureStatusAndReplyTypeOutsideTheSet) {
    rk9sim::FaultPlan faults;
    faults.failStatus['a'] = 0xA9;
    faults.badTypeCodes = {'D'};
    SimClient client({}, faults);
    ASSERT_TRUE(client.Ready());
    EXPECT_EQ(client.Exchange('a'), (Bytes{0x55, 0xA9, 0x00, 0xA9}));
    const Bytes info = client.Exchange('D');
    ASSERT_EQ(info.size(), 20u);
    EXPECT_EQ(info[1], rk9sim::kOutsideReplyType);
    EXPECT_EQ(info[19], 0x62 ^ 0x5A ^ 0xB2);  // a well-formed frame, only its type is foreign
}

TEST(SimFaults, GarbageAndNotificationsComeBeforeTheReply) {
    rk9sim::FaultPlan faults;
    faults.nGarbageBytes = 5;
    faults.nNotifications = 2;
    SimClient client({}, faults);
    ASSERT_TRUE(client.Ready());
    ASSERT_TRUE(client.Send('H'));
    const Bytes got = client.Receive(5 + 2 * 5 + 4);
    ASSERT_EQ(got.size(), 19u);
    for (int i = 0; i < 5; ++i) EXPECT_NE(got[i], 0x55);
    EXPECT_EQ(Bytes(got.begin() + 5, got.begin() + 10), (Bytes{0x55, 0x57, 0x01, 0x00, 0x56}));
    EXPECT_EQ(Bytes(got.begin() + 10, got.begin() + 15), (Bytes{0x55, 0x57, 0x01, 0x01, 0x57}));
    EXPECT_EQ(Bytes(got.begin() + 15, got.end()), kOk);
}

TEST(SimFaults, ShortPayloadAndTextWithoutNul) {
    rk9sim::FaultPlan faults;
    faults.shortPayload['a'] = 4;
    faults.noNulCodes = {'g'};
    SimClient client({}, faults);
    ASSERT_TRUE(client.Ready());
    EXPECT_EQ(client.Exchange('a'),
              (Bytes{0x55, 0x5A, 0x04, 0x98, 0x00, 0x69, 0x03, 0x5A ^ 0x04 ^ 0x98 ^ 0x69 ^ 0x03}));
    EXPECT_EQ(client.Exchange('g'),
              (Bytes{0x55, 0x5A, 0x04, '1', '.', '0', '4', 0x5A ^ 0x04 ^ '1' ^ '.' ^ '0' ^ '4'}));
}

TEST(SimFaults, DelayBeforeTheReplyAndByteByByteSending) {
    rk9sim::FaultPlan faults;
    faults.nReplyDelayMs = 80;
    faults.nByteDelayUs = 20000;
    SimClient client({}, faults);
    ASSERT_TRUE(client.Ready());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.Send('H'));
    EXPECT_TRUE(StaysQuiet(client.Line(), 40ms));
    // Each read now sees one byte at a time.
    Bytes got;
    BYTE buffer[8];
    while (got.size() < 4) {
        const int k = client.Line().Read(buffer, sizeof buffer, 3000);
        ASSERT_GT(k, 0);
        EXPECT_EQ(k, 1);
        got.insert(got.end(), buffer, buffer + k);
    }
    EXPECT_EQ(got, kOk);
    EXPECT_GE(testsupport::MsSince(start), 80.0 + 3 * 20.0);
}

TEST(SimFaults, HangUpAfterNExchangesClosesTheDevice) {
    rk9sim::FaultPlan faults;
    faults.hangUpAfter = 1;
    SimClient client({}, faults);
    ASSERT_TRUE(client.Ready());
    EXPECT_EQ(client.Exchange('H'), kOk);
    ASSERT_TRUE(client.Send('H'));
    BYTE byte = 0;
    EXPECT_EQ(client.Line().Read(&byte, 1, 3000), PseudoTerminal::kGone);
    EXPECT_TRUE(client.Sim().WaitForHangUp(3s));
    EXPECT_EQ(client.Sim().Requests().size(), 2u);
}

}  // namespace
