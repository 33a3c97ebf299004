// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installpaths.h"

#include <QFile>
#include <fcntl.h>

bool isSafeRelativePath(const QString& path) {
    if (path.isEmpty() || path.size() > 4096)
        return false;
    for (const QChar c : path)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    for (const QStringView component : QStringView(path).split(u'/'))
        if (component.isEmpty() || component == u"." || component == u"..")
            return false;
    return true;
}

QString belowFolder(const QString& folder, const QString& relative) {
    return folder.endsWith(u'/') ? folder + relative : folder + u'/' + relative;
}

QByteArray lastComponent(const QString& relative) {
    return QFile::encodeName(relative.section(u'/', -1));
}

FileDescriptor openParentFolder(int root, const QString& relative) {
    FileDescriptor folder(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    const QStringList components = relative.split(u'/');
    for (qsizetype i = 0; folder.isOpen() && i + 1 < components.size(); ++i)
        folder = FileDescriptor(::openat(folder.get(), QFile::encodeName(components[i]).constData(),
                                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return folder;
}

FileDescriptor openFolder(const QString& path) {
    return FileDescriptor(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}
