// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installpreparation.h"

#include "modinstall/archiveplacement.h"
#include "modinstall/gamefoldersnapshot.h"
#include "modinstall/installplanner.h"
#include "modinstall/installtransaction.h"
#include "modinstall/openinstallsource.h"
#include "modinstall/umodplacement.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

std::optional<InstallRefusal> refuseUnwritable(const QString& gameFolder) {
    if (::access(QFile::encodeName(gameFolder).constData(), W_OK | X_OK) == 0)
        return std::nullopt;
    return InstallRefusal{QStringLiteral("Modgate cannot write to %1: %2")
                              .arg(gameFolder, QString::fromLocal8Bit(std::strerror(errno)))};
}

std::variant<InstallPlacement, InstallRefusal> placeEntries(const OpenedInstallSource& opened,
                                                            const QString& fileName) {
    if (opened.kind == OpenedInstallSource::Kind::Archive)
        return placeArchiveEntries(opened.source->entries(), fileName);
    auto placed = placeUmod(*opened.source);
    if (auto* refusal = std::get_if<InstallRefusal>(&placed))
        return *refusal;
    auto& umod = std::get<UmodPlacement>(placed);
    InstallPlacement placement{umod.name, umod.files, umod.leftOut, umod.iniEditsNotApplied};
    if (placement.name.trimmed().isEmpty())
        placement.name = installNameFromFileName(fileName);
    if (umod.programNotRun)
        placement.leftOut.append(
            {*umod.programNotRun,
             QStringLiteral("a program the installer would start: never run")});
    return placement;
}

} // namespace

std::variant<std::unique_ptr<PreparedInstall>, InstallRefusal>
prepareInstall(const QString& downloadPath, const QString& gameFolder,
               const std::atomic<bool>* cancel) {
    if (auto refusal = refuseUnwritable(gameFolder))
        return *refusal;
    auto prepared = std::make_unique<PreparedInstall>();
    prepared->downloadPath = downloadPath;
    prepared->gameFolder = gameFolder;
    prepared->digest = std::make_shared<SourceDigest>(downloadPath);
    prepared->scratch = std::make_unique<QTemporaryDir>(gameFolder + u'/' + stagingFolderPrefix +
                                                        QStringLiteral("scratch-XXXXXX"));
    if (!prepared->scratch->isValid())
        return InstallRefusal{QStringLiteral("Modgate cannot write to %1: %2")
                                  .arg(gameFolder, prepared->scratch->errorString())};

    auto opened = openInstallSource(downloadPath, prepared->scratch->path());
    if (auto* refusal = std::get_if<InstallRefusal>(&opened))
        return *refusal;
    auto& source = std::get<OpenedInstallSource>(opened);
    const QString fileName = QFileInfo(downloadPath).fileName();

    auto placed = placeEntries(source, fileName);
    if (auto* refusal = std::get_if<InstallRefusal>(&placed))
        return *refusal;
    auto& placement = std::get<InstallPlacement>(placed);
    placement.leftOut = source.leftOutOfArchive + placement.leftOut;

    QStringList destinations;
    destinations.reserve(placement.files.size());
    for (const auto& file : placement.files)
        destinations.append(file.second);
    auto snapshot = readGameFolderSnapshot(gameFolder, destinations);
    if (auto* refusal = std::get_if<InstallRefusal>(&snapshot))
        return *refusal;
    auto planned = planInstall(placement, source.source->entries(), fileName,
                               std::get<GameFolderSnapshot>(snapshot));
    if (auto* refusal = std::get_if<InstallRefusal>(&planned))
        return *refusal;
    auto resolved =
        resolveComparisons(gameFolder, *source.source, std::get<InstallPlan>(planned), cancel);
    if (auto* refusal = std::get_if<InstallRefusal>(&resolved))
        return *refusal;
    prepared->plan = std::move(std::get<InstallPlan>(resolved));
    prepared->source = std::move(source.source);
    return prepared;
}
