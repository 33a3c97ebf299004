// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/gamelayout.h"

#include "installation/gameinstallation.h"
#include "installation/steamlibraries.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

namespace {

// Joins below the game folder without doubling a trailing separator.
QString below(const QString& folder, const QString& relative) {
    return folder.endsWith(u'/') ? folder + relative : folder + u'/' + relative;
}

qsizetype lastComponentStart(QStringView path) {
    return path.lastIndexOf(u'/') + 1;
}

} // namespace

CpuArchitecture hostArchitecture() {
    const QString cpu = QSysInfo::currentCpuArchitecture();
    if (cpu == u"x86_64")
        return CpuArchitecture::X86_64;
    if (cpu == u"i386")
        return CpuArchitecture::X86;
    if (cpu == u"arm64")
        return CpuArchitecture::Arm64;
    if (cpu == u"power64")
        return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? CpuArchitecture::Ppc64le
                                                             : CpuArchitecture::Other;
    return CpuArchitecture::Other;
}

QStringList linuxExecutables(CpuArchitecture architecture) {
    const QString oldUnrealX86_64 = QStringLiteral("System/UT2004");
    const QString classic64 = QStringLiteral("System/ut2004-bin-linux-amd64");
    const QString classic32 = QStringLiteral("System/ut2004-bin");
    const QString oldUnrealArm64 = QStringLiteral("SystemARM64/UT2004");
    const QString oldUnrealPpc64le = QStringLiteral("SystemPPC64LE/UT2004-powerpc64le");

    QStringList preferred;
    switch (architecture) {
    case CpuArchitecture::X86_64:
        preferred = {oldUnrealX86_64, classic64, classic32};
        break;
    case CpuArchitecture::X86:
        preferred = {classic32};
        break;
    case CpuArchitecture::Arm64:
        preferred = {oldUnrealArm64};
        break;
    case CpuArchitecture::Ppc64le:
        preferred = {oldUnrealPpc64le};
        break;
    case CpuArchitecture::Other:
        break;
    }
    for (const QString& executable :
         {oldUnrealX86_64, classic64, classic32, oldUnrealArm64, oldUnrealPpc64le})
        if (!preferred.contains(executable))
            preferred.append(executable);
    return preferred;
}

GameLayout bundleLayout(const QString& gamePath) {
    return {GameInstallation::executablePath(gamePath), gamePath,
            GameInstallation::searchBase(gamePath)};
}

std::optional<GameLayout> recognizeGameLayout(const QString& gamePath,
                                              CpuArchitecture architecture) {
    // Nothing is ever looked for at the root: an empty path would name it too.
    if (gamePath.isEmpty() || QDir::cleanPath(gamePath) == u"/")
        return std::nullopt;
    if (QFileInfo::exists(GameInstallation::executablePath(gamePath)))
        return bundleLayout(gamePath);
    for (const QString& relative : linuxExecutables(architecture)) {
        const QString executable = below(gamePath, relative);
        if (QFileInfo(executable).isFile())
            return GameLayout{executable, QFileInfo(executable).path(),
                              GameInstallation::searchBase(gamePath)};
    }
    return std::nullopt;
}

std::optional<QString> gameFolderForChosenFolder(const QString& chosen,
                                                 CpuArchitecture architecture) {
    QString folder = chosen;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    if (recognizeGameLayout(folder, architecture))
        return chosen;
    const qsizetype nameStart = lastComponentStart(folder);
    // Never the root folder: a System folder there is no game's.
    if (nameStart > 1 && QStringView(folder).sliced(nameStart).startsWith(u"System")) {
        const QString parent = folder.first(nameStart - 1);
        if (recognizeGameLayout(parent, architecture))
            return parent;
    }
    // Steam's copy is the Windows game; a native tree inside it is the copy that runs here.
    for (const QString& tree : steamNativeTrees(folder))
        if (recognizeGameLayout(tree, architecture))
            return tree;
    return std::nullopt;
}
