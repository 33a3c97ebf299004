// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/archiveplacement.h"

#include "modinstall/installnames.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

constexpr int maximumWrapperLevels = 3;

struct Candidate {
    int entry = -1;
    QStringList components;
};

QString extensionOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? QString() : fileName.sliced(dot + 1).toLower();
}

bool isNativeCode(const QString& extension) {
    static const QSet<QString> native = {"exe", "dll", "so", "dylib", "bat", "sh"};
    return native.contains(extension);
}

bool isArchive(const QString& extension) {
    static const QSet<QString> archives = {"zip", "7z",   "rar", "tar", "gz",  "tgz",  "bz2",
                                           "tbz", "tbz2", "xz",  "txz", "zst", "tzst", "lzma",
                                           "ace", "lzh",  "lha", "cab", "arj"};
    return archives.contains(extension);
}

bool isInstaller(const QString& extension) {
    static const QSet<QString> installers = {"umod", "ut2mod", "ut4mod", "urm", "rmod"};
    return installers.contains(extension);
}

// The game folder a loose file of this kind goes to.
std::optional<QString> folderForExtension(const QString& extension) {
    static const QHash<QString, QString> folders = {
        {"u", "System"},       {"ucl", "System"},  {"int", "System"}, {"upl", "System"},
        {"det", "System"},     {"est", "System"},  {"frt", "System"}, {"itt", "System"},
        {"kot", "System"},     {"smt", "System"},  {"tmt", "System"}, {"ut2", "Maps"},
        {"utx", "Textures"},   {"uax", "Sounds"},  {"ogg", "Music"},  {"usx", "StaticMeshes"},
        {"ukx", "Animations"}, {"ka", "KarmaData"}};
    const auto found = folders.constFind(extension);
    if (found == folders.cend())
        return std::nullopt;
    return *found;
}

bool isReadme(const QString& extension) {
    static const QSet<QString> readmes = {"txt", "htm", "html", "pdf", "rtf", "doc"};
    return readmes.contains(extension);
}

bool isPicture(const QString& extension) {
    static const QSet<QString> pictures = {"jpg", "png", "bmp", "gif"};
    return pictures.contains(extension);
}

QString joined(const QStringList& components, qsizetype from) {
    return components.sliced(from).join(u'/');
}

InstallRefusal refusedName(const QString& fileName, const QString& name, const QString& fault) {
    return {QStringLiteral("%1: entry \"%2\" %3").arg(fileName, displayedName(name), fault)};
}

} // namespace

QString installNameFromFileName(const QString& fileName) {
    QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    if (name.endsWith(u".tar", Qt::CaseInsensitive) && name.size() > 4)
        name.chop(4);
    return name;
}

std::variant<InstallPlacement, InstallRefusal>
placeArchiveEntries(const QList<SourceEntry>& entries, const QString& fileName) {
    InstallPlacement placement;
    auto leaveOut = [&](int entry, const QString& reason, bool keep = false) {
        placement.leftOut.append({entries[entry].name, reason, entry, keep});
    };

    // Every name is vetted, whatever the entry is: one hostile name refuses the archive.
    QList<Candidate> files;
    for (int i = 0; i < entries.size(); ++i) {
        const SourceEntry& entry = entries[i];
        InstallName name = vetInstallName(entry.name);
        if (!name.isValid())
            return refusedName(fileName, entry.name, name.fault);
        if (isJunkEntry(name.components))
            continue;
        switch (entry.type) {
        case SourceEntryType::Directory:
            continue;
        case SourceEntryType::Symlink:
            leaveOut(i, QStringLiteral("a symbolic link"));
            continue;
        case SourceEntryType::HardLink:
            leaveOut(i, QStringLiteral("a hard link"));
            continue;
        case SourceEntryType::Other:
            leaveOut(i, QStringLiteral("a device, pipe or socket"));
            continue;
        case SourceEntryType::File:
            files.append({i, std::move(name.components)});
            break;
        }
    }

    // Mod folders, keyed by their path ignoring case; one inside another is part of the outer.
    QHash<QString, QString> candidates;
    for (const Candidate& file : std::as_const(files)) {
        if (file.components.last().compare(u"UT2K4Mod.ini", Qt::CaseInsensitive) != 0)
            continue;
        if (file.components.size() == 1)
            return InstallRefusal{
                QStringLiteral("%1 holds UT2K4Mod.ini outside any folder, so the mod folder's "
                               "name is unknown")
                    .arg(fileName)};
        candidates.insert(caseKey(joined(file.components.first(file.components.size() - 1), 0)),
                          file.components[file.components.size() - 2]);
    }
    QHash<QString, QString> modFolders;
    for (auto candidate = candidates.cbegin(); candidate != candidates.cend(); ++candidate) {
        bool inner = false;
        for (qsizetype slash = candidate.key().indexOf(u'/'); slash >= 0 && !inner;
             slash = candidate.key().indexOf(u'/', slash + 1))
            inner = candidates.contains(candidate.key().first(slash));
        if (inner)
            continue;
        if (standardGameFolder(candidate.value()))
            return InstallRefusal{
                QStringLiteral("%1: the mod folder \"%2\" has the name of one of the game's own "
                               "folders")
                    .arg(fileName, displayedName(candidate.value()))};
        modFolders.insert(candidate.key(), candidate.value());
    }

    std::optional<QString> firstModFolder;
    QList<Candidate> rest;
    for (Candidate& file : files) {
        qsizetype depth = 0;
        QString key;
        for (qsizetype k = 0; k + 1 < file.components.size() && modFolders.size() > 0; ++k) {
            key += (k > 0 ? QStringLiteral("/") : QString()) + caseKey(file.components[k]);
            if (modFolders.contains(key)) {
                depth = k + 1;
                break;
            }
        }
        if (depth == 0) {
            rest.append(std::move(file));
            continue;
        }
        if (isNativeCode(extensionOf(file.components.last()))) {
            leaveOut(file.entry, QStringLiteral("native code"));
            continue;
        }
        const QString& folder = modFolders[key];
        if (!firstModFolder && depth + 1 == file.components.size() &&
            file.components.last().compare(u"UT2K4Mod.ini", Qt::CaseInsensitive) == 0)
            firstModFolder = folder;
        placement.files.append({file.entry, folder + u'/' + joined(file.components, depth)});
    }

    // Wrappers: one first folder above everything else that is not the game's own, nor a
    // folder of nothing but UnrealScript sources (<Package>/Classes/).
    for (int level = 0; level < maximumWrapperLevels && !rest.isEmpty(); ++level) {
        const QStringList& first = rest.first().components;
        if (first.size() < 2 || standardGameFolder(first[0]))
            break;
        const QString wrapper = caseKey(first[0]);
        const bool shared = std::all_of(rest.cbegin(), rest.cend(), [&](const Candidate& file) {
            return file.components.size() >= 2 && caseKey(file.components[0]) == wrapper;
        });
        const bool sources =
            shared && std::all_of(rest.cbegin(), rest.cend(), [](const Candidate& file) {
                return file.components[1].compare(u"Classes", Qt::CaseInsensitive) == 0;
            });
        if (!shared || sources)
            break;
        for (Candidate& file : rest)
            file.components.removeFirst();
    }

    for (const Candidate& file : std::as_const(rest)) {
        const QStringList& components = file.components;
        const QString extension = extensionOf(components.last());
        if (isNativeCode(extension))
            leaveOut(file.entry, QStringLiteral("native code"));
        else if (isArchive(extension))
            leaveOut(file.entry, QStringLiteral("a nested archive"));
        else if (isInstaller(extension))
            leaveOut(file.entry, QStringLiteral("an installer inside the archive"));
        else if (components.size() == 1) {
            if (isReadme(extension))
                leaveOut(file.entry, QStringLiteral("a readme"), true);
            else if (isPicture(extension))
                leaveOut(file.entry, QStringLiteral("a picture"), true);
            else if (extension == u"ini")
                leaveOut(file.entry, QStringLiteral("a loose .ini file"));
            else if (const std::optional<QString> folder = folderForExtension(extension))
                placement.files.append({file.entry, *folder + u'/' + components[0]});
            else
                leaveOut(file.entry, QStringLiteral("an unknown kind of file"));
        } else if (const std::optional<QString> folder = standardGameFolder(components[0]))
            placement.files.append({file.entry, *folder + u'/' + joined(components, 1)});
        else if (extension == u"uc" &&
                 components[components.size() - 2].compare(u"Classes", Qt::CaseInsensitive) == 0)
            leaveOut(file.entry, QStringLiteral("UnrealScript source"));
        else
            leaveOut(file.entry, QStringLiteral("in a folder the game does not use"));
    }

    if (placement.files.isEmpty())
        return InstallRefusal{QStringLiteral("Nothing to install in %1: no mod folder (with "
                                             "UT2K4Mod.ini), no game folders, no game packages.")
                                  .arg(fileName)};
    placement.name = firstModFolder.value_or(installNameFromFileName(fileName));
    return placement;
}
