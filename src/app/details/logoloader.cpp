// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/logoloader.h"

#include "catalogue/modlogo.h"
#include "support/mainthreadqueue.h"
#include "support/threadhandover.h"

LogoLoader::LogoLoader(Shown shown, QObject* parent)
    : QObject(parent), shown(std::move(shown)),
      mainThread(std::make_shared<MainThreadQueue>(this)) {}

LogoLoader::~LogoLoader() {
    // A worker still reading answers nobody.
    mainThread->close();
}

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
        queue->perform([this, image = std::move(image)]() mutable { finished(std::move(image)); });
    });
}

void LogoLoader::finished(std::optional<QImage> logo) {
    cache.insert(*reading, new std::optional<QImage>(logo));
    const bool wanted = readingFor == newest;
    reading.reset();
    if (wanted)
        shown(logo);
    startNext();
}
