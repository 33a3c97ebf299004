// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The keys of Modgate's preferences, named once.
namespace preferenceKeys {
// The folder of the copy of the game in use.
inline const QString unrealPath = QStringLiteral("unrealPath");
// Whether the main window fades in and out; true by default.
inline const QString fadingWindows = QStringLiteral("fadingWindows");
// Where the bar between the mod table and the details pane was left.
inline const QString detailsSplitter = QStringLiteral("detailsSplitter");
// The main window's size and place on the screen, as QWidget::saveGeometry() gives them.
inline const QString windowGeometry = QStringLiteral("windowGeometry");
} // namespace preferenceKeys
