// The /dev/serial/by-id name behind a device path, shown in the Port list's tooltips.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "serial/dialog/port_alias.h"

namespace {

TEST(PortAlias, FindsTheLinkThatResolvesToTheDevice) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    const QString other = dir.filePath(QStringLiteral("ttyUSB1"));
    for (const QString& path : {device, other}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("by-id")));
    const QString byId = dir.filePath(QStringLiteral("by-id"));
    ASSERT_TRUE(QFile::link(QStringLiteral("../ttyUSB1"), byId + QStringLiteral("/usb-Other-if00")));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("../ttyUSB0"), byId + QStringLiteral("/usb-FTDI_FT232R-if00-port0")));

    EXPECT_EQ(SerialByIdName(device, byId), QStringLiteral("usb-FTDI_FT232R-if00-port0"));
    EXPECT_EQ(PortTooltip(33, device, byId),
              QStringLiteral("COM33: ") + device + QStringLiteral(" (usb-FTDI_FT232R-if00-port0)"));
    EXPECT_EQ(SerialByIdName(dir.filePath(QStringLiteral("ttyACM0")), byId), QString());
    EXPECT_EQ(PortTooltip(1, QStringLiteral("/dev/pts/9"), dir.filePath(QStringLiteral("missing"))),
              QStringLiteral("COM1: /dev/pts/9"));
}

}  // namespace
