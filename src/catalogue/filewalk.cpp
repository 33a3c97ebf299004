// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/filewalk.h"

#include <fts.h>
#include <memory>
#include <sys/stat.h>

namespace {

struct FtsCloser {
    void operator()(FTS* fts) const { fts_close(fts); }
};

bool isSymbolicLink(const char* path) {
    struct stat status {};
    return ::lstat(path, &status) == 0 && S_ISLNK(status.st_mode);
}

} // namespace

void walkFileTree(const QByteArray& root, const FileWalkVisitor& visit,
                  const TopLevelLinkFilter& followTopLevelLink) {
    QByteArray rootCopy = root; // fts_open wants mutable strings
    char* roots[] = {rootCopy.data(), nullptr};
    // No stat per entry and no following of links: only folders are looked at more closely,
    // which keeps the walk close to the cost of reading the folders.
    const std::unique_ptr<FTS, FtsCloser> fts(
        fts_open(roots, FTS_PHYSICAL | FTS_NOSTAT | FTS_NOCHDIR, nullptr));
    if (!fts)
        return;

    // How the walk spells the root in its children's paths ("base/", "base//"...), taken from
    // the first child rather than guessed from the root text.
    qsizetype prefixLength = -1;
    while (const FTSENT* entry = fts_read(fts.get())) {
        if (entry->fts_level < 1)
            continue;
        switch (entry->fts_info) {
        case FTS_DP:  // a folder again, after its contents
        case FTS_DNR: // an unreadable folder, already met on the way in
        case FTS_ERR:
            continue;
        default:
            break;
        }
        const QByteArrayView path(entry->fts_path, qsizetype(entry->fts_pathlen));
        const QByteArrayView name(entry->fts_name, qsizetype(entry->fts_namelen));
        if (prefixLength < 0)
            prefixLength = path.size() - name.size();
        visit(FileWalkEntry{path, path.sliced(prefixLength), name});

        // Folders are never links; only the few entries of the root are looked at again.
        if (followTopLevelLink && entry->fts_level == 1 && entry->fts_info != FTS_D &&
            isSymbolicLink(entry->fts_accpath)) {
            const QByteArray linkPath = path.toByteArray();
            if (!followTopLevelLink(linkPath))
                continue;
            const QByteArray linkName = name.toByteArray() + '/';
            // With a "/" behind it the link stands for its folder; its entries keep the link's
            // name in their relative paths.
            walkFileTree(linkPath + '/', [&](const FileWalkEntry& inner) {
                const QByteArray relative = linkName + inner.relativePath.toByteArray();
                visit(FileWalkEntry{inner.path, relative, inner.name});
            });
        }
    }
}
