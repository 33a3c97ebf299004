// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/gameinstallation.h"

namespace GameInstallation {

QString executablePath(const QString& bundlePath) {
    return bundlePath + executableSuffix;
}

QString searchBase(const QString& bundlePath) {
    return bundlePath + u'/';
}

QString gameLogPath(const QString& homePath) {
    return homePath + u'/' + gameLogRelativePath;
}

} // namespace GameInstallation
