// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installcommand.h"

#include "installation/gamecopies.h"
#include "installation/gamelayout.h"
#include "modinstall/installlock.h"
#include "modinstall/installpreparation.h"
#include "modinstall/installsource.h"
#include "modinstall/installtransaction.h"
#include "modinstall/modremoval.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {

const QString installOption = QStringLiteral("install");
const QString removeOption = QStringLiteral("remove");
const QString installedOption = QStringLiteral("installed");
const QString gameOption = QStringLiteral("game");
const QString replaceOption = QStringLiteral("replace");
const QString dryRunOption = QStringLiteral("dry-run");

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int refuse(const QString& reason) {
    print(stderr, QStringLiteral("modgate: %1\n").arg(reason));
    return 1;
}

// A dedicated server's folder: its System folder holds the server's program.
bool isDedicatedServer(const QString& folder) {
    for (const char* program : {"ucc-bin", "ucc-bin-linux-amd64", "UCC.exe"})
        if (QFileInfo(folder + QStringLiteral("/System/") + QLatin1StringView(program)).isFile())
            return true;
    return false;
}

// The copy of the game to work on: the one named, else the one in use, else the first found.
std::variant<QString, InstallRefusal> chooseGame(const QCommandLineParser& parser) {
    if (parser.isSet(gameOption)) {
        const QString given = QFileInfo(parser.value(gameOption)).absoluteFilePath();
        if (const auto folder = gameFolderForChosenFolder(given))
            return *folder;
        if (isDedicatedServer(given))
            return given;
        return InstallRefusal{QStringLiteral("%1 holds no copy of the game").arg(given)};
    }
    const auto stored = UserDefaults::standard().stringForKey(preferenceKeys::unrealPath);
    if (stored && recognizeGameLayout(*stored))
        return *stored;
    const QStringList copies = findGameCopies(defaultGameCopyPlaces());
    if (copies.isEmpty())
        return InstallRefusal{
            QStringLiteral("no copy of the game was found; name its folder with --game")};
    return copies.first();
}

// Undoes what a killed Modgate left half done, as every writer does first.
void recover(const QString& game) {
    const RecoveryReport report = recoverInterruptedInstalls(game);
    if (report.undone + report.finished > 0)
        print(stderr, QStringLiteral("modgate: finished or undid %1 interrupted install(s) in %2\n")
                          .arg(report.undone + report.finished)
                          .arg(game));
    for (const QString& problem : report.problems)
        print(stderr, QStringLiteral("modgate: %1\n").arg(problem));
}

void printPlan(const InstallPlan& plan, const QString& game, bool dryRun) {
    QString text = (dryRun ? QStringLiteral("Would install %1 into %2\n")
                           : QStringLiteral("Installing %1 into %2\n"))
                       .arg(plan.name, game);
    QString notes;
    for (const PlannedFile& file : plan.files) {
        if (file.action == PlannedFile::Action::Identical) {
            notes += QStringLiteral("Already there: %1\n").arg(file.destination);
            continue;
        }
        text += file.destination + u'\n';
        if (file.action == PlannedFile::Action::Replace)
            notes += QStringLiteral("Replaces the file there: %1\n").arg(file.destination);
    }
    for (const LeftOutEntry& entry : plan.leftOut)
        notes += QStringLiteral("Left out: %1 (%2)\n").arg(entry.name, entry.reason);
    for (const QString& edit : plan.iniEditsNotApplied)
        notes += QStringLiteral("Ini edit not applied: %1\n").arg(edit);
    print(stdout, text + notes);
}

int install(const QString& file, const QString& game, bool replace, bool dryRun) {
    const QString fileName = QFileInfo(file).fileName();
    const auto failed = [&fileName](const QString& reason) {
        return refuse(QStringLiteral("Could not install %1: %2").arg(fileName, reason));
    };
    auto prepared = prepareInstall(file, game);
    if (const auto* refusal = std::get_if<InstallRefusal>(&prepared))
        return failed(refusal->reason);
    PreparedInstall& install = *std::get<std::unique_ptr<PreparedInstall>>(prepared);
    const InstallPlan& plan = install.plan;
    printPlan(plan, game, dryRun);
    const auto replacements =
        std::count_if(plan.files.cbegin(), plan.files.cend(), [](const PlannedFile& planned) {
            return planned.action == PlannedFile::Action::Replace;
        });
    if (replacements > 0 && !replace)
        return failed(QStringLiteral("it would replace %1 file(s) already there; add --replace to "
                                     "replace them")
                          .arg(replacements));
    if (dryRun)
        return 0;
    InstallOptions options;
    options.consentToReplace = replace;
    options.sourceDigest = install.digest;
    auto result = installMod(game, *install.source, plan, options);
    if (const auto* refusal = std::get_if<InstallRefusal>(&result))
        return failed(refusal->reason);
    const InstallRecord& record = std::get<InstallRecord>(result);
    print(stdout,
          QStringLiteral("Installed %1: %2 file(s)\n").arg(record.name).arg(record.files.size()));
    return 0;
}

int remove(const QString& name, const QString& game) {
    const auto failed = [&name](const QString& reason) {
        return refuse(QStringLiteral("Could not remove %1: %2").arg(name, reason));
    };
    if (!readRecord(defaultRecordsFolder(), name, game)) {
        const auto removed = removeModFolder(game, name);
        if (const auto* refusal = std::get_if<InstallRefusal>(&removed))
            return failed(refusal->reason.startsWith(QStringLiteral("there is no"))
                              ? QStringLiteral("there is no install or mod folder called %1 in %2")
                                    .arg(name, game)
                              : refusal->reason);
        print(stdout, QStringLiteral("Moved the mod folder %1 to the trash\n").arg(name));
        return 0;
    }
    const auto removal = removeInstall(game, name);
    if (const auto* refusal = std::get_if<InstallRefusal>(&removal))
        return failed(refusal->reason);
    const RemovalResult& result = std::get<RemovalResult>(removal);
    QString text = QStringLiteral("Removed %1: %2 file(s) moved to the trash\n")
                       .arg(name)
                       .arg(result.trashed.size());
    for (const QString& path : result.changed)
        text += QStringLiteral("Kept, changed since it was installed: %1\n").arg(path);
    for (const QString& path : result.restored)
        text += QStringLiteral("Put back from the trash: %1\n").arg(path);
    print(stdout, text);
    for (const QString& problem : result.problems)
        print(stderr, QStringLiteral("modgate: %1\n").arg(problem));
    return result.problems.isEmpty() ? 0 : 1;
}

int listInstalled(const QString& game) {
    QString text;
    for (const InstallRecord& record : readRecords(defaultRecordsFolder(), game))
        text += QStringLiteral("%1\t%2\t%3\n")
                    .arg(record.name, record.installedAt.toUTC().toString(Qt::ISODate))
                    .arg(record.files.size());
    print(stdout, text);
    return 0;
}

} // namespace

QList<QCommandLineOption> installCommandOptions() {
    return {
        {installOption,
         QStringLiteral("Install the mod in <file>, a download (.zip, .7z, .rar, .tar, .umod)."),
         QStringLiteral("file")},
        {removeOption,
         QStringLiteral("Remove the install called <name>, else the mod folder <name>, to the "
                        "trash."),
         QStringLiteral("name")},
        {installedOption, QStringLiteral("List the installs Modgate made: name, time, files.")},
        {gameOption,
         QStringLiteral("The copy of the game (or dedicated server) to work on; else the one in "
                        "use."),
         QStringLiteral("folder")},
        {replaceOption, QStringLiteral("Let --install replace files that differ.")},
        {dryRunOption, QStringLiteral("Show what --install would do, and change nothing.")},
    };
}

std::optional<std::variant<int, InstallCommandUsageError>>
runInstallCommand(const QCommandLineParser& parser) {
    const int commands = int(parser.isSet(installOption)) + int(parser.isSet(removeOption)) +
                         int(parser.isSet(installedOption));
    const bool installing = parser.isSet(installOption);
    // --game alone belongs to the window's own options (--launch, --list).
    if (commands == 0 && !parser.isSet(replaceOption) && !parser.isSet(dryRunOption))
        return std::nullopt;
    if (commands > 1)
        return InstallCommandUsageError{
            QStringLiteral("Give only one of --install, --remove and --installed.")};
    if (commands == 0 ||
        (!installing && (parser.isSet(replaceOption) || parser.isSet(dryRunOption))))
        return InstallCommandUsageError{
            QStringLiteral("--replace and --dry-run go with --install.")};

    const auto chosen = chooseGame(parser);
    if (const auto* refusal = std::get_if<InstallRefusal>(&chosen))
        return refuse(refusal->reason);
    const QString& game = std::get<QString>(chosen);
    if (parser.isSet(installedOption))
        return listInstalled(game);
    const InstallLock lock;
    if (!lock.isHeld())
        return refuse(lock.refusal());
    recover(game);
    if (installing)
        return install(parser.value(installOption), game, parser.isSet(replaceOption),
                       parser.isSet(dryRunOption));
    return remove(parser.value(removeOption), game);
}
