// SPDX-License-Identifier: GPL-3.0-or-later
// Game log text of any shape: no crash, and a path found is never empty and never spans a line.
#include "installation/gamelocation.h"
#include "support/textfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QString> path = gamePathFromGameLog(decodeText(bytes));
    if (path && (path->isEmpty() || path->contains(u'\r') || path->contains(u'\n')))
        std::abort();
    return 0;
}
