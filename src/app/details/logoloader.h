// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class MainThreadQueue;

// Reads mods' logos on a worker, one at a time, and keeps the latest ones decoded. Only the
// newest request is ever answered: a selection that moves on while a logo is read never shows
// the old one. The main thread never waits on a file. A wholly transparent logo counts as none.
class LogoLoader : public QObject {
public:
    using Shown = std::function<void(const std::optional<QImage>& logo)>;
    // The cache holds at most this many logos, and at most this many bytes of pictures: each
    // costs its bytes, but never less than a 64th of the whole.
    static constexpr int cachedLogos = 64;
    static constexpr qsizetype cachedBytes = qsizetype(64) << 20;

    explicit LogoLoader(Shown shown, QObject* parent = nullptr);
    ~LogoLoader() override;

    // Answers through shown: at once when the logo is cached, else once the worker has read it.
    void request(const QString& modFolder, const QString& modLogo);
    // Leaves every earlier request unanswered.
    void cancel();
    // Forgets every cached logo too, so the next requests read the files as they are now.
    void clear();

    // Whether a worker is reading now; for tests.
    bool isReading() const { return reading.has_value(); }

private:
    struct Request {
        QString key, modFolder, modLogo;
    };
    void startNext();
    void finished(std::optional<QImage> logo);

    Shown shown;
    std::shared_ptr<MainThreadQueue> mainThread;
    // Cached answers, "no logo" included.
    QCache<QString, std::optional<QImage>> cache{cachedBytes};
    std::optional<Request> pending;
    std::optional<QString> reading; // the key the worker reads
    quint64 newest = 0, readingFor = 0;
};
