// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <optional>

// Desktop entries that start one mod (or the plain game) through Modgate, laid out as desktops
// look for them: a file in the applications folder, its icon beside the theme's.

// One argument of an Exec= line: as it stands where it holds none of the reserved characters,
// else in double quotes with " ` $ and \ escaped; a % doubled either way. Not yet escaped as a
// desktop entry string (see desktopExecValue).
QString desktopExecArgument(const QString& argument);
// The value of an Exec= key running these arguments, the program first, escaped as a string value
// (\\ \n \t \r). Absent where an argument holds a character no desktop entry can carry (a control
// character other than line feed, tab and carriage return).
std::optional<QString> desktopExecValue(const QStringList& arguments);

// What a shortcut starts and shows. An absent folder stands for the plain game.
struct DesktopShortcut {
    std::optional<QString> folder;
    QString name;       // the mod's title, or its folder's name
    QString comment;    // a line about it; may be empty
    QString program;    // Modgate's own executable
    QString gameFolder; // the copy of the game it runs
    QString iconPath;   // the icon file, absolute
};

// The desktop ID of a mod's shortcut (the file name without ".desktop"):
// "org.modgate.Modgate.mod.<folder>", the folder's bytes outside [A-Za-z0-9] written as "_XX"
// so that no two folders share one; "org.modgate.Modgate.game" for the plain game.
QString desktopShortcutId(const std::optional<QString>& folder);
// The arguments Modgate gets from the shortcut: --launch <folder> (or --launch-game) --game
// <game folder>.
QStringList desktopShortcutArguments(const DesktopShortcut& shortcut);
// The whole desktop entry; absent where a value cannot be written in one.
std::optional<QString> desktopShortcutText(const DesktopShortcut& shortcut);

// The side of a shortcut's icon: a picture scaled to fit a square this large, centred, with
// transparent margins.
inline constexpr int desktopIconSide = 256;
QImage desktopIconImage(const QImage& picture);

// Where shortcuts and their icons go: below the user's data folder.
QString desktopShortcutPath(const QString& dataHome, const std::optional<QString>& folder);
QString desktopIconPath(const QString& dataHome, const std::optional<QString>& folder);

// Writes the icon and the entry, each replacing the old one whole; the entry's path, or why not.
struct ShortcutWritten {
    QString path;
    std::optional<QString> error;
};
ShortcutWritten writeDesktopShortcut(DesktopShortcut shortcut, const QImage& picture,
                                     const QString& dataHome);
// Removes a mod's shortcut and icon, as removing the mod does; true when none is left. The data
// folder is the user's ($XDG_DATA_HOME) unless named.
bool removeDesktopShortcut(const QString& folder, const QString& dataHome = {});
