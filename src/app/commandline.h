// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the command line gets instead of a window: a text to print and the exit code.
struct CommandLineAnswer {
    QString text;
    bool toStandardError = false;
    int exitCode = 0;
};

// The answer to these arguments, the program's name first: the usage for --help, the version for
// --version, the exit code of an install, removal or list (modinstall/installcommand.h), the
// usage as a refusal for anything else; absent when there is nothing but the name.
// A QCoreApplication must exist (the usage names the program as it was started).
std::optional<CommandLineAnswer> answerCommandLine(const QStringList& arguments);
