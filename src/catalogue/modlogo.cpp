// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/modlogo.h"

#include "packages/texturepackage.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace {

// The entry of folder called name in any letter case: the exact name first, else the first in
// name order.
std::optional<QString> entryIgnoringCase(const QString& folder, const QString& name) {
    const QString exact = folder + u'/' + name;
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder + u'/' + entry;
    return std::nullopt;
}

std::optional<QString> regularFile(const std::optional<QString>& folder, const QString& name) {
    if (!folder)
        return std::nullopt;
    std::optional<QString> path = entryIgnoringCase(*folder, name);
    // A FIFO or a device would hold the reader forever, or feed it without end.
    return path && QFileInfo(*path).isFile() ? path : std::nullopt;
}

// A package name is one file name: the manifest must not lead us out of the mod's folder.
bool isPackageName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(0));
}

std::optional<QImage> packageLogo(const QString& modFolder, const QString& modLogo) {
    const qsizetype dot = modLogo.indexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    const QString package = modLogo.first(dot), object = modLogo.sliced(dot + 1);
    if (!isPackageName(package) || object.isEmpty())
        return std::nullopt;
    const std::optional<QString> file = regularFile(
        entryIgnoringCase(modFolder, QStringLiteral("Textures")), package + QStringLiteral(".utx"));
    return file ? readPackageTexture(*file, object) : std::nullopt;
}

std::optional<QImage> splashPicture(const QString& modFolder) {
    const QString folderName = QFileInfo(QDir::cleanPath(modFolder)).fileName();
    const std::optional<QString> file =
        regularFile(entryIgnoringCase(modFolder, QStringLiteral("Help")),
                    folderName + QStringLiteral("Logo.bmp"));
    if (!file)
        return std::nullopt;
    QImageReader reader(*file);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxLogoSide || size.height() > maxLogoSide)
        return std::nullopt;
    QImage picture = reader.read();
    return picture.isNull() ? std::nullopt : std::optional<QImage>(std::move(picture));
}

} // namespace

std::optional<QImage> loadModLogo(const QString& modFolder, const QString& modLogo) {
    if (std::optional<QImage> logo = packageLogo(modFolder, modLogo))
        return logo;
    return splashPicture(modFolder);
}
