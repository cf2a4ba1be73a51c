#pragma once
// Maps the port numbers COM1..COM50 to Linux serial devices.
//
// Order of precedence:
//  1. the environment variable ONDIVAR_PORTS, e.g. "1=/dev/pts/4;3=/dev/ttyUSB0";
//  2. the settings section "Ports", values "COM1" ... "COM50" holding a device path;
//  3. the default: USB adapters (/dev/ttyUSB*), then ACM devices (/dev/ttyACM*),
//     then the /dev/ttyS* ports that really exist, in natural order.
// A number with no device maps to an empty path.
#include <QMap>
#include <QString>
#include <QStringList>

class QSettings;

namespace PortMap {
constexpr int MaxPort = 50;

// Device path for port n (1..50); empty when nothing is mapped.
QString devicePath(int n);

// The pieces, exposed for tests and the documentation tool.
QMap<int, QString> parseEnvironment(const QString &text);
QMap<int, QString> fromSettings(QSettings &s);
QStringList defaultDevices();   // in COM order: element 0 is COM1
}
