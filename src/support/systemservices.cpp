// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/systemservices.h"

#include <QApplication>
#include <QDesktopServices>
#include <cstdio>
#include <syslog.h>

void systemLog(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "modgate: %s\n", bytes.constData());
    std::fflush(stderr);
    ::syslog(LOG_USER | LOG_NOTICE, "%s", bytes.constData());
}

void systemBeep() {
    QApplication::beep();
}

bool openUrlInBrowser(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool openFolderInFileManager(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
