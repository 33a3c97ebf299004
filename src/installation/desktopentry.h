// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// A larger desktop entry is not an installer's: it is not read.
inline constexpr qsizetype maxDesktopEntryBytes = qsizetype(64) << 10;

// The program a desktop entry's Exec= line starts (in its "Desktop Entry" group): the line's first
// argument, unquoted as desktop entries quote. Absent where there is no such line, the argument is
// empty or not an absolute path, or a quote is left open.
std::optional<QString> desktopEntryProgram(QStringView text);

// The game folder of a game executable: the folder above the executable's System* folder, or
// absent where the executable does not lie directly in such a folder.
std::optional<QString> gameFolderOfExecutable(const QString& executable);
