// SPDX-License-Identifier: GPL-3.0-or-later
// Steam library lists and desktop entries of any shape: no crash, no empty library path, and a
// program found is always an absolute path.
#include "installation/desktopentry.h"
#include "installation/steamlibraries.h"
#include "support/textfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = decodeText(bytes);
    for (const QString& path : steamLibraryPaths(text))
        if (path.isEmpty())
            std::abort();
    const std::optional<QString> program = desktopEntryProgram(text);
    if (program && !program->startsWith(u'/'))
        std::abort();
    return 0;
}
