#include "link/portmap.h"
#include "link/registre.h"

#include <QCollator>
#include <QDir>
#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QSettings>
#include <algorithm>

namespace PortMap {

QMap<int, QString> parseEnvironment(const QString &text)
{
    QMap<int, QString> map;
    const QStringList items = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        QString num = item.left(eq).trimmed();
        if (num.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            num = num.mid(3);
        bool ok = false;
        const int n = num.toInt(&ok);
        const QString path = item.mid(eq + 1).trimmed();
        if (ok && n >= 1 && n <= MaxPort && !path.isEmpty())
            map.insert(n, path);
    }
    return map;
}

QMap<int, QString> fromSettings(QSettings &s)
{
    QMap<int, QString> map;
    for (int n = 1; n <= MaxPort; ++n) {
        const QString path = s.value(QStringLiteral("Ports/COM%1").arg(n)).toString().trimmed();
        if (!path.isEmpty())
            map.insert(n, path);
    }
    return map;
}

static QStringList sortedMatches(const QString &pattern)
{
    QStringList names = QDir(QStringLiteral("/dev")).entryList({pattern}, QDir::System | QDir::Files);
    QCollator c;
    c.setNumericMode(true);
    std::sort(names.begin(), names.end(), c);
    for (QString &n : names)
        n.prepend(QStringLiteral("/dev/"));
    return names;
}

QStringList defaultDevices()
{
    QStringList list = sortedMatches(QStringLiteral("ttyUSB*"));
    list += sortedMatches(QStringLiteral("ttyACM*"));
    // Only the ttyS ports backed by real hardware: the kernel creates many
    // placeholders that fail to open.
    QStringList real;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.portName().startsWith(QLatin1String("ttyS")))
            real << info.systemLocation();
    QCollator c;
    c.setNumericMode(true);
    std::sort(real.begin(), real.end(), c);
    list += real;
    return list;
}

QString devicePath(int n)
{
    if (n < 1 || n > MaxPort)
        return {};
    const QMap<int, QString> env = parseEnvironment(qEnvironmentVariable("ONDIVAR_PORTS"));
    if (env.contains(n))
        return env.value(n);
    // A sweep over the 50 numbers asks this 50 times in a row: the settings and the
    // device list are read once and kept for a second.
    struct Cache {
        QElapsedTimer age;
        QString config;
        QMap<int, QString> fromReg;
        QStringList defaults;
    };
    static Cache cache;
    const QString config = qEnvironmentVariable("ONDIVAR_CONFIG");
    if (!cache.age.isValid() || cache.age.elapsed() > 1000 || cache.config != config) {
        auto reg = OuvreRegistre();
        cache.fromReg = fromSettings(*reg);
        cache.defaults = defaultDevices();
        cache.config = config;
        cache.age.start();
    }
    if (cache.fromReg.contains(n))
        return cache.fromReg.value(n);
    return n <= cache.defaults.size() ? cache.defaults.at(n - 1) : QString();
}

}
