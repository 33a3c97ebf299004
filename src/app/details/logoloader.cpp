// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/logoloader.h"

#include "catalogue/modlogo.h"
#include "support/mainthreadqueue.h"
#include "support/threadhandover.h"

#include <algorithm>

LogoLoader::LogoLoader(Shown shown, QObject* parent)
    : QObject(parent), shown(std::move(shown)),
      mainThread(std::make_shared<MainThreadQueue>(this)) {}

LogoLoader::~LogoLoader() {
    // A worker still reading answers nobody.
    mainThread->close();
}

namespace {

bool isWhollyTransparent(const QImage& image) {
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        if (std::any_of(line, line + argb.width(), [](QRgb pixel) { return qAlpha(pixel) != 0; }))
            return false;
    }
    return true;
}

} // namespace

void LogoLoader::request(const QString& modFolder, const QString& modLogo) {
    ++newest;
    pending.reset();
    const QString key = modFolder + u'\n' + modLogo;
    if (const std::optional<QImage>* cached = cache.object(key)) {
        shown(*cached);
        return;
    }
    if (reading == key) {
        readingFor = newest;
        return;
    }
    pending = Request{key, modFolder, modLogo};
    startNext();
}

void LogoLoader::cancel() {
    ++newest;
    pending.reset();
}

void LogoLoader::clear() {
    cancel();
    cache.clear();
}

void LogoLoader::startNext() {
    if (reading || !pending)
        return;
    Request next = std::move(*pending);
    pending.reset();
    reading = next.key;
    readingFor = newest;
    detachNewThread([this, folder = unshared(next.modFolder), logo = unshared(next.modLogo),
                     queue = mainThread] {
        std::optional<QImage> image = loadModLogo(folder, logo);
        if (image && isWhollyTransparent(*image))
            image.reset();
        queue->perform([this, image = std::move(image)]() mutable { finished(std::move(image)); });
    });
}

void LogoLoader::finished(std::optional<QImage> logo) {
    const qsizetype cost = std::max(logo ? logo->sizeInBytes() : 0, cachedBytes / cachedLogos);
    cache.insert(*reading, new std::optional<QImage>(logo), cost);
    const bool wanted = readingFor == newest;
    reading.reset();
    if (wanted)
        shown(logo);
    startNext();
}
