// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <optional>
#include <variant>

class QCommandLineParser;

// Installing and removing mods from the command line, without a window:
//   --install FILE [--game DIR] [--replace] [--dry-run]
//   --remove NAME [--game DIR]
//   --installed [--game DIR]

// The options, for the parser and its help.
QList<QCommandLineOption> installCommandOptions();

// Arguments that do not go together, in words for the usage message.
struct InstallCommandUsageError {
    QString reason;
};

// Runs what the parsed options ask for, printing to standard output and error: the exit code
// (0 done, 1 refused or failed, with nothing changed), a usage error, or absent when no option of
// these was given. Changes no setting.
std::optional<std::variant<int, InstallCommandUsageError>>
runInstallCommand(const QCommandLineParser& parser);
