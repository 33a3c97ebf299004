// SPDX-License-Identifier: GPL-3.0-or-later
// Package bytes as the logo lookup reads them: through the texture reader, under a few names.
#include "packages/texturepackage.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    for (const char* path : {"Logo", "Group.Logo", "group.sub.LOGO"}) {
        const std::optional<QImage> image = readPackageTexture(buffer, QString::fromLatin1(path));
        if (image && (image->isNull() || image->width() > 4096 || image->height() > 4096 ||
                      image->format() != QImage::Format_ARGB32))
            std::abort();
    }
    return 0;
}
