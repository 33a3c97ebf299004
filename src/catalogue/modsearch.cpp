#include "catalogue/modsearch.h"

#include "catalogue/filewalk.h"
#include "catalogue/modmanifest.h"
#include "support/textfile.h"

#include <QFile>

namespace {

const QLatin1StringView manifestName("ut2k4mod.ini");
// Real manifests hold a few lines; a file this large is no manifest and counts as unreadable, so
// a huge file under that name cannot exhaust memory.
constexpr qsizetype maxManifestBytes = qsizetype(1) << 20;

// The last path component, lowercased, equals the manifest name. Nearly every name is ASCII and
// can only match with exactly twelve bytes; other names are decoded first, since a non-ASCII
// letter may lowercase to an ASCII one (the Kelvin sign to "k").
bool isManifestName(QByteArrayView name) {
    bool ascii = true;
    for (const char byte : name)
        if (static_cast<unsigned char>(byte) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return name.size() == manifestName.size() &&
               QLatin1StringView(name.data(), name.size())
                       .compare(manifestName, Qt::CaseInsensitive) == 0;
    return QFile::decodeName(name.toByteArray()).toLower() == manifestName;
}

} // namespace

void searchForModsInBasePath(const std::optional<QString>& path,
                             const std::function<void(ModEntry)>& modFound) {
    if (!path)
        return;
    // One "/" is added even after a trailing one; it also makes a linked bundle walk as its target.
    const QByteArray searchBase = QFile::encodeName(*path + u'/');
    walkFileTree(searchBase, [&](const FileWalkEntry& entry) {
        if (!isManifestName(entry.name))
            return;
        // Read through the walk's own bytes, so a folder with an odd name still yields its mod.
        const std::optional<QString> text =
            stringWithContentsOfNativePath(entry.path.toByteArray(), maxManifestBytes);
        modFound(modEntryFromManifest(text, QFile::decodeName(entry.relativePath.toByteArray())));
    });
}
