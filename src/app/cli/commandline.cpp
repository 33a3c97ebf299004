// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commandline.h"

#include "modinstall/installcommand.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// The options every Qt program takes (QGuiApplication's, QApplication's and the X11 ones), by
// whether a value follows. Qt reads them itself; they are only kept from being refused here.
const QStringList qtOptionsWithValue{
    QStringLiteral("platform"),
    QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"),
    QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),
    QStringLiteral("session"),
    QStringLiteral("style"),
    QStringLiteral("stylesheet"),
    QStringLiteral("display"),
    QStringLiteral("geometry"),
    QStringLiteral("font"),
    QStringLiteral("fn"),
    QStringLiteral("background"),
    QStringLiteral("bg"),
    QStringLiteral("foreground"),
    QStringLiteral("fg"),
    QStringLiteral("btn"),
    QStringLiteral("button"),
    QStringLiteral("name"),
    QStringLiteral("title"),
    QStringLiteral("icon"),
    QStringLiteral("visual"),
    QStringLiteral("ncols"),
    QStringLiteral("im"),
    QStringLiteral("inputstyle"),
    QStringLiteral("qmljsdebugger"),
};
const QStringList qtFlags{
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("testability"),
    QStringLiteral("qdevel"),  QStringLiteral("cmap"),        QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),
};

// Modgate's own options, each named once.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption list{QStringLiteral("list"),
                            QStringLiteral("Print the mods of the game, one a line: the folder, a "
                                           "tab, the title. Opens no window.")};
    QCommandLineOption launch{QStringLiteral("launch"),
                              QStringLiteral("Start with the mod in <folder> selected and launch "
                                             "it."),
                              QStringLiteral("folder")};
    QCommandLineOption launchGame{QStringLiteral("launch-game"),
                                  QStringLiteral("Start and launch the game without a mod.")};
    QCommandLineOption game{QStringLiteral("game"),
                            QStringLiteral("Use the copy of the game in <folder> for this run "
                                           "(the stored choice is kept)."),
                            QStringLiteral("folder")};
};

// The option as the user wrote it: Qt only reports the name.
QString writtenOption(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments.mid(1)) {
        const QString option = argument.section(u'=', 0, 0);
        if (option == u'-' + name || option == QStringLiteral("--") + name)
            return option;
    }
    return name;
}

std::optional<QString> requestRefusal(const QCommandLineParser& parser, const Options& options) {
    int actions = 0;
    for (const QCommandLineOption* action : {&options.list, &options.launch, &options.launchGame})
        actions += parser.isSet(*action) ? 1 : 0;
    if (actions > 1)
        return QStringLiteral("Give only one of --list, --launch and --launch-game.");
    if (actions > 0 && !parser.positionalArguments().isEmpty())
        return QStringLiteral("Unexpected argument '%1': files to install go without --list, "
                              "--launch and --launch-game.")
            .arg(parser.positionalArguments()[0]);
    const QString folder = parser.value(options.launch);
    if (parser.isSet(options.launch) &&
        (folder.isEmpty() || folder.contains(u'/') || folder == u"." || folder == u".."))
        return QStringLiteral("--launch takes the name of a mod's folder, not '%1'.").arg(folder);
    if (parser.isSet(options.game) && parser.value(options.game).isEmpty())
        return QStringLiteral("--game takes the game's folder.");
    return std::nullopt;
}

// Whether an install, a removal or the list of installs is asked for.
bool installing(const QCommandLineParser& parser) {
    for (const char* name : {"install", "remove", "installed"})
        if (parser.isSet(QLatin1StringView(name)))
            return true;
    return false;
}

} // namespace

CommandLine readCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists the mods of Unreal Tournament 2004 and starts the game with one."));
    // Qt's options are written with one dash and whole words: -platform is no cluster of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Our own help, listing our own options: Qt's are hidden.
    const Options options;
    parser.addOptions({options.help, options.version, options.list, options.launch,
                       options.launchGame, options.game});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Downloads of mods to install, in the window."),
                                 QStringLiteral("[file...]"));
    // Installing and removing mods; --game is shared with the options above.
    for (const QCommandLineOption& option : installCommandOptions())
        if (!option.names().contains(QStringLiteral("game")))
            parser.addOption(option);
    for (const QString& name : qtOptionsWithValue) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString& name : qtFlags) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    std::optional<QString> refusal;
    if (!parser.parse(arguments))
        refusal = parser.unknownOptionNames().isEmpty()
                      ? parser.errorText()
                      : QStringLiteral("Unknown option '%1'.")
                            .arg(writtenOption(arguments, parser.unknownOptionNames()[0]));
    else if (parser.isSet(options.help))
        return {CommandLineAnswer{parser.helpText()}, {}};
    else if (parser.isSet(options.version))
        return {CommandLineAnswer{QStringLiteral("Modgate " MODGATE_VERSION "\n")}, {}};
    else if (installing(parser) && (parser.isSet(options.list) || parser.isSet(options.launch) ||
                                    parser.isSet(options.launchGame)))
        refusal = QStringLiteral("--install, --remove and --installed go with none of --list, "
                                 "--launch and --launch-game.");
    else if (const auto run = runInstallCommand(parser)) {
        // Installing, removing or listing installs: done here, without a window.
        if (const auto* usage = std::get_if<InstallCommandUsageError>(&*run))
            refusal = usage->reason;
        else
            return {CommandLineAnswer{{}, false, std::get<int>(*run)}, {}};
    } else
        refusal = requestRefusal(parser, options);
    if (refusal)
        return {CommandLineAnswer{
                    QStringLiteral("modgate: %1\n\n%2").arg(*refusal, parser.helpText()), true, 2},
                {}};

    StartRequest request;
    if (parser.isSet(options.list))
        request.action = StartAction::List;
    if (parser.isSet(options.launch)) {
        request.action = StartAction::LaunchMod;
        request.folder = parser.value(options.launch);
    }
    if (parser.isSet(options.launchGame))
        request.action = StartAction::LaunchGame;
    if (parser.isSet(options.game))
        request.gameFolder = parser.value(options.game);
    // The Modgate already running was started in another folder.
    for (const QString& file : parser.positionalArguments())
        request.downloads << QFileInfo(file).absoluteFilePath();
    return {std::nullopt, request};
}

QStringList requestArguments(const StartRequest& request) {
    QStringList arguments;
    if (request.action == StartAction::List)
        arguments << QStringLiteral("--list");
    if (request.action == StartAction::LaunchMod)
        arguments << QStringLiteral("--launch") << request.folder;
    if (request.action == StartAction::LaunchGame)
        arguments << QStringLiteral("--launch-game");
    if (request.gameFolder)
        arguments << QStringLiteral("--game") << *request.gameFolder;
    if (!request.downloads.isEmpty())
        arguments << QStringLiteral("--") << request.downloads;
    return arguments;
}
