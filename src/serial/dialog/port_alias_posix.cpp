#include "serial/dialog/port_alias.h"

#include <QDir>
#include <QFileInfo>

QString SerialByIdName(const QString& devicePath, const QString& byIdDir) {
    if (devicePath.isEmpty()) return {};
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (target.isEmpty()) return {};
    const QFileInfoList links =
        QDir(byIdDir).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == target) return link.fileName();
    }
    return {};
}

QString PortTooltip(int portNumber, const QString& devicePath, const QString& byIdDir) {
    QString text = QStringLiteral("COM%1: %2").arg(portNumber).arg(devicePath);
    const QString alias = SerialByIdName(devicePath, byIdDir);
    if (!alias.isEmpty()) text += QStringLiteral(" (%1)").arg(alias);
    return text;
}
