#include <gtest/gtest.h>

#include "platform/pseudo_terminal.h"
#include "serial/port_probe.h"
#include "support/pty_helpers.h"

namespace {

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
    EXPECT_NE(DescribeRefusal(result.refused[0]).find("in use by another program"), std::string::npos);

    // The probed ports stay open (exclusively) until released.
    CModem late;
    EXPECT_FALSE(late.Open(kProbeMode, 5, 10));
    result.ports.clear();
    EXPECT_TRUE(late.Open(kProbeMode, 5, 10));
}

TEST(PortProbe, NothingOpensWhenNothingIsMapped) {
    testsupport::ScopedPorts ports("");
    const ProbeResult result = ProbePorts(2000);
    EXPECT_TRUE(result.ports.empty());
    EXPECT_TRUE(result.refused.empty());
}

TEST(PortProbe, DescribesAPermissionRefusalWithTheDeviceGroup) {
    PortRefusal refusal{3, "/dev/ttyUSB0", PortRefusal::Reason::AccessDenied, "dialout"};
    EXPECT_EQ(DescribeRefusal(refusal), "COM3 (/dev/ttyUSB0): permission denied; join the group dialout");
}

}  // namespace
