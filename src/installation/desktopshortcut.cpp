// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/desktopshortcut.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString idPrefix = QStringLiteral("org.modgate.Modgate.");
// Desktop IDs and file names stay well below the file system's 255 bytes.
constexpr qsizetype maxIdPartLength = 160;

bool isReservedInExec(QChar c) {
    return QStringView(u" \t\n\"'\\><~|&;$*?#()`").contains(c);
}

bool isUnwritableControl(QChar c) {
    return (c.unicode() < 0x20 && c != u'\n' && c != u'\t' && c != u'\r') || c.unicode() == 0x7f;
}

// A desktop entry's string escapes, applied to a whole value.
QString escapedString(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

// Names and comments come from manifests: what a desktop entry cannot carry becomes a space.
QString displayText(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    return text.simplified();
}

QString iconName(const std::optional<QString>& folder) {
    return desktopShortcutId(folder) + QStringLiteral(".png");
}

} // namespace

QString desktopExecArgument(const QString& argument) {
    QString written = argument;
    written.replace(u'%', QStringLiteral("%%"));
    if (!written.isEmpty() && std::none_of(written.begin(), written.end(), isReservedInExec))
        return written;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : std::as_const(written)) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

std::optional<QString> desktopExecValue(const QStringList& arguments) {
    QStringList written;
    for (const QString& argument : arguments) {
        if (std::any_of(argument.begin(), argument.end(), isUnwritableControl))
            return std::nullopt;
        written.append(desktopExecArgument(argument));
    }
    return escapedString(written.join(u' '));
}

QString desktopShortcutId(const std::optional<QString>& folder) {
    if (!folder)
        return idPrefix + QStringLiteral("game");
    const QByteArray bytes = QFile::encodeName(*folder);
    QString part;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9' && !part.isEmpty());
        part += plain ? QString(QLatin1Char(char(c)))
                      : QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0')).toUpper();
    }
    if (part.size() > maxIdPartLength) {
        // Cut before an escape it would split, and tell long names apart by a hash of them all.
        qsizetype cut = maxIdPartLength - 17;
        const qsizetype escape = part.lastIndexOf(u'_', cut - 1);
        if (escape >= 0 && escape > cut - 3)
            cut = escape;
        part = part.left(cut) + u'-' +
               QString::fromLatin1(
                   QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(16));
    }
    return idPrefix + QStringLiteral("mod.") + part;
}

QStringList desktopShortcutArguments(const DesktopShortcut& shortcut) {
    QStringList arguments{shortcut.program};
    if (shortcut.folder)
        arguments << QStringLiteral("--launch") << *shortcut.folder;
    else
        arguments << QStringLiteral("--launch-game");
    return arguments << QStringLiteral("--game") << shortcut.gameFolder;
}

std::optional<QString> desktopShortcutText(const DesktopShortcut& shortcut) {
    const std::optional<QString> exec = desktopExecValue(desktopShortcutArguments(shortcut));
    if (!exec ||
        std::any_of(shortcut.iconPath.begin(), shortcut.iconPath.end(), isUnwritableControl))
        return std::nullopt;
    QString name = displayText(shortcut.name);
    if (name.isEmpty())
        name = displayText(shortcut.folder.value_or(QString()));
    if (name.isEmpty())
        return std::nullopt;
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nVersion=1.0\nName=") +
                   escapedString(name) + u'\n';
    // A comment that only repeats the name says nothing.
    const QString comment = displayText(shortcut.comment);
    if (!comment.isEmpty() && comment != name)
        text += QStringLiteral("Comment=") + escapedString(comment) + u'\n';
    text += QStringLiteral("Exec=") + *exec + u'\n';
    text += QStringLiteral("Icon=") + escapedString(shortcut.iconPath) + u'\n';
    return text + QStringLiteral("Terminal=false\nCategories=Game;\n");
}

QImage desktopIconImage(const QImage& picture) {
    QImage icon(desktopIconSide, desktopIconSide, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    if (picture.isNull())
        return icon;
    const QImage fitted = picture.scaled(desktopIconSide, desktopIconSide, Qt::KeepAspectRatio,
                                         Qt::SmoothTransformation);
    QPainter painter(&icon);
    painter.drawImage((desktopIconSide - fitted.width()) / 2,
                      (desktopIconSide - fitted.height()) / 2, fitted);
    return icon;
}

QString desktopShortcutPath(const QString& dataHome, const std::optional<QString>& folder) {
    return dataHome + QStringLiteral("/applications/") + desktopShortcutId(folder) +
           QStringLiteral(".desktop");
}

QString desktopIconPath(const QString& dataHome, const std::optional<QString>& folder) {
    return dataHome + QStringLiteral("/icons/hicolor/256x256/apps/") + iconName(folder);
}

ShortcutWritten writeDesktopShortcut(DesktopShortcut shortcut, const QImage& picture,
                                     const QString& dataHome) {
    const QString path = desktopShortcutPath(dataHome, shortcut.folder);
    shortcut.iconPath = desktopIconPath(dataHome, shortcut.folder);
    const std::optional<QString> text = desktopShortcutText(shortcut);
    if (!text)
        return {path, QStringLiteral("its name or folder holds characters a desktop entry cannot")};
    const auto failed = [&path](const QString& file, const QString& why) {
        return ShortcutWritten{path, file + QStringLiteral(": ") + why};
    };
    for (const QString& file : {shortcut.iconPath, path})
        if (!QDir().mkpath(QFileInfo(file).path()))
            return failed(QFileInfo(file).path(), QStringLiteral("cannot make the folder"));

    QSaveFile icon(shortcut.iconPath);
    if (!icon.open(QIODevice::WriteOnly) || !desktopIconImage(picture).save(&icon, "PNG") ||
        !icon.commit())
        return failed(shortcut.iconPath, icon.errorString());
    QSaveFile entry(path);
    const QByteArray bytes = text->toUtf8();
    if (!entry.open(QIODevice::WriteOnly) || entry.write(bytes) != bytes.size() || !entry.commit())
        return failed(path, entry.errorString());
    return {path, std::nullopt};
}

bool removeDesktopShortcut(const QString& folder, const QString& dataHome) {
    const QString home = dataHome.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                             : dataHome;
    bool removed = true;
    for (const QString& file : {desktopShortcutPath(home, folder), desktopIconPath(home, folder)})
        if (QFileInfo::exists(file) && !QFile::remove(file))
            removed = false;
    return removed;
}
