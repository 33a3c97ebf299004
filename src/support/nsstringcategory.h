// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Small text operations used to clean manifest values and command lines.
namespace NSStringCategory {

// Text with every case-insensitive occurrence of target replaced; an absent text reads as "".
QString stringByReplacing(QStringView target, QStringView replacement,
                          const std::optional<QString>& text);

// Text without its leading U+0020 spaces; an absent text reads as "".
QString stringByDeletingLeadSpaceInString(const std::optional<QString>& text);

// The value percent-escaped (UTF-8) for use in a URL.
std::optional<QString> stringByAddingPercentEscapes(const QString& value);

} // namespace NSStringCategory
