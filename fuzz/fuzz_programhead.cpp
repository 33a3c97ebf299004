// SPDX-License-Identifier: GPL-3.0-or-later
// A program's first bytes of any shape: no crash, no read beyond them, and a reason is never empty.
#include "installation/programcheck.h"

#include <QByteArrayView>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView head(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const CpuArchitecture host : {CpuArchitecture::X86_64, CpuArchitecture::Arm64}) {
        const std::optional<QString> reason =
            programCannotRunReason(head, host, [](const QString& path) { return path.size() % 2; });
        if (reason && reason->isEmpty())
            std::abort();
    }
    return 0;
}
