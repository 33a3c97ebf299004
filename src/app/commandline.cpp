// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include "modinstall/installcommand.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

std::optional<CommandLineAnswer> answerCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the mods of Unreal Tournament 2004 and starts the game with one."));
    // Our own options rather than Qt's, whose help would offer Qt's options that are refused here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOptions({help, version});
    parser.addOptions(installCommandOptions());

    QString refusal;
    if (!parser.parse(arguments))
        refusal = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        refusal = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments()[0]);
    else if (parser.isSet(help))
        return CommandLineAnswer{parser.helpText()};
    else if (parser.isSet(version))
        return CommandLineAnswer{QStringLiteral("Modgate " MODGATE_VERSION "\n")};
    else if (const auto run = runInstallCommand(parser); !run)
        return std::nullopt;
    else if (const auto* usage = std::get_if<InstallCommandUsageError>(&*run))
        refusal = usage->reason;
    else
        return CommandLineAnswer{{}, false, std::get<int>(*run)};
    return CommandLineAnswer{QStringLiteral("modgate: %1\n\n%2").arg(refusal, parser.helpText()),
                             true, 2};
}
