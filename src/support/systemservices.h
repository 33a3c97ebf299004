// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// The few platform services the launcher needs beyond widgets.

// One line to the system log: standard error and syslog.
void systemLog(const QString& line);

// The system beep.
void systemBeep();

// Hands an address to the user's web browser; false when nothing accepted it.
bool openUrlInBrowser(const QUrl& url);

// Shows a folder in the user's file manager; false when nothing accepted it.
bool openFolderInFileManager(const QString& path);
