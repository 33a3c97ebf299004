// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// A copy that shares no data with the original, for handing text to another thread. Qt's shared
// strings count their users with atomics inside the Qt libraries, so a string one thread holds and
// another drops would otherwise be freed outside what a race detector can follow.
inline QString unshared(const QString& text) {
    return QString(text.constData(), text.size());
}

inline std::optional<QString> unshared(const std::optional<QString>& text) {
    return text ? std::optional<QString>(unshared(*text)) : std::nullopt;
}
