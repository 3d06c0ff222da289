#pragma once
// The stable names that udev gives serial devices (/dev/serial/by-id/...), for showing the user which
// device stands behind a COM number. UI thread (reads the file system through Qt).
#include <QString>

// The by-id link name that resolves to `devicePath`, or empty when there is none.
QString SerialByIdName(const QString& devicePath,
                       const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));

// "COM3: /dev/ttyUSB0 (usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0)" style text for a tooltip.
QString PortTooltip(int portNumber, const QString& devicePath,
                    const QString& byIdDir = QStringLiteral("/dev/serial/by-id"));
