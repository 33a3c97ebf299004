// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/xxh3.h"

#include "support/filedescriptor.h"

#include <xxhash.h>

void Xxh3::Free::operator()(XXH3_state_s* state) const {
    XXH3_freeState(state);
}

Xxh3::Xxh3() : state(XXH3_createState()) {
    if (state)
        XXH3_128bits_reset(state.get());
}

Xxh3::~Xxh3() = default;

void Xxh3::add(QByteArrayView bytes) {
    if (state)
        XXH3_128bits_update(state.get(), bytes.data(), size_t(bytes.size()));
}

QString Xxh3::finishHex() {
    if (!state)
        return {};
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state.get()));
    XXH3_128bits_reset(state.get());
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest)
            .toHex());
}

std::optional<QString> xxh3OfDescriptor(int descriptor, const std::atomic<bool>* cancel) {
    Xxh3 hash;
    if (!readToEnd(descriptor, cancel, [&hash](QByteArrayView piece) { hash.add(piece); }))
        return std::nullopt;
    return hash.finishHex();
}

bool isXxh3Hex(const QString& text) {
    if (text.size() != 32)
        return false;
    for (const QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}
