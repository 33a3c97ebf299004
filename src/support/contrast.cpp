// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/contrast.h"

#include <algorithm>
#include <cmath>

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) +
           0.0722 * linear(rgb.blueF());
}

QColor mixed(const QColor& towards, const QColor& from, double strength) {
    const auto channel = [strength](float to, float fro) { return fro + (to - fro) * strength; };
    const QColor a = towards.toRgb(), b = from.toRgb();
    return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()),
                            channel(a.blueF(), b.blueF()));
}

} // namespace

double contrastRatio(const QColor& first, const QColor& second) {
    const double one = luminance(first), other = luminance(second);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

QColor mutedTextColor(const QColor& text, const QList<QColor>& backgrounds, double minimumRatio) {
    if (backgrounds.isEmpty())
        return text;
    // From a faint 50% up to the full text colour, the first step legible on every background.
    for (int percent = 50; percent < 100; percent += 5) {
        const QColor candidate = mixed(text, backgrounds.first(), percent / 100.0);
        if (std::all_of(backgrounds.begin(), backgrounds.end(), [&](const QColor& background) {
                return contrastRatio(candidate, background) >= minimumRatio;
            }))
            return candidate;
    }
    return text;
}
