#include <gtest/gtest.h>

#include "platform/serial/port_table.h"
#include "support/pty_helpers.h"

namespace {

TEST(PortTable, DefaultCoversSerialUsbAndAcmDevices) {
    const PortTable table = PortTable::Default();
    EXPECT_EQ(table.PathFor(1), "/dev/ttyS0");
    EXPECT_EQ(table.PathFor(32), "/dev/ttyS31");
    EXPECT_EQ(table.PathFor(33), "/dev/ttyUSB0");
    EXPECT_EQ(table.PathFor(64), "/dev/ttyUSB31");
    EXPECT_EQ(table.PathFor(65), "/dev/ttyACM0");
    EXPECT_EQ(table.PathFor(96), "/dev/ttyACM31");
    EXPECT_EQ(table.PathFor(97), "");
    EXPECT_EQ(table.PathFor(256), "");
    EXPECT_EQ(table.PathFor(0), "");
    EXPECT_EQ(table.PathFor(-1), "");
    EXPECT_EQ(table.PathFor(257), "");
}

TEST(PortTable, QuarvelPortsReplacesTheDefaultAndIgnoresMalformedEntries) {
    const PortTable table = PortTable::Parse(
        "1=/dev/pts/3,7=/dev/ttyUSB0,,garbage,0=/dev/a,257=/dev/b,-2=/dev/c,x=/dev/d,9=relative,10=,"
        "256=/dev/last,7=/dev/ttyUSB9,=/dev/e,12=/dev/f=g");
    EXPECT_EQ(table.PathFor(1), "/dev/pts/3");
    EXPECT_EQ(table.PathFor(7), "/dev/ttyUSB9");  // the later entry wins
    EXPECT_EQ(table.PathFor(256), "/dev/last");
    EXPECT_EQ(table.PathFor(12), "/dev/f=g");
    EXPECT_EQ(table.PathFor(2), "");  // nothing from the default table
    EXPECT_EQ(table.PathFor(9), "");
    EXPECT_EQ(table.PathFor(10), "");
}

TEST(PortTable, FromEnvironmentUsesQuarvelPortsEvenWhenEmpty) {
    {
        testsupport::ScopedPorts ports("5=/dev/pts/9");
        EXPECT_EQ(PortTable::FromEnvironment().PathFor(5), "/dev/pts/9");
        EXPECT_EQ(PortTable::FromEnvironment().PathFor(1), "");
    }
    {
        testsupport::ScopedPorts ports("");
        EXPECT_EQ(PortTable::FromEnvironment().PathFor(1), "");
    }
}

}  // namespace
