// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QStringView>

// Splits text into lines ending at CR LF, LF or a lone CR, mixed included. The separators are
// dropped, nothing else is: n line ends give n + 1 lines, empty ones included.
QStringList splitLines(QStringView text);
