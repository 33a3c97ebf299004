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

// What a start is asked to do besides opening the window.
enum class StartAction {
    Window,     // the window alone
    List,       // --list: the mods, printed, no window
    LaunchMod,  // --launch FOLDER: the window, launching that mod
    LaunchGame, // --launch-game: the window, launching the plain game
};

struct StartRequest {
    StartAction action = StartAction::Window;
    QString folder;                    // the mod's folder, for LaunchMod
    std::optional<QString> gameFolder; // --game: the copy of the game for this run
    QStringList downloads = {};        // FILE...: downloads to install, absolute paths
    bool operator==(const StartRequest&) const = default;
};

// The command line read: either an answer to print (help, version, a refusal) or what to start.
struct CommandLine {
    std::optional<CommandLineAnswer> answer;
    StartRequest request;
};

// Reads these arguments, the program's name first: the usage for --help, the version for
// --version, the usage as a refusal for anything it does not take; else the request. Qt's own
// options (-platform, -style, ...) are let through for Qt. A QCoreApplication must exist (the
// usage names the program as it was started).
CommandLine readCommandLine(const QStringList& arguments);

// The request as arguments that readCommandLine reads back (the program's name not included), as
// a start hands it to the Modgate already running.
QStringList requestArguments(const StartRequest& request);
