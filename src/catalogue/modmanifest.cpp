#include "catalogue/modmanifest.h"

ModEntry modEntryFromManifest(const std::optional<QString>&, const QString& relativePath) {
    ModEntry entry;
    entry.launchName = relativePath.section(u'/', 0, 0);
    return entry;
}
