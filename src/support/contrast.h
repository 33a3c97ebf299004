// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>

// The contrast ratio of two opaque colours as accessibility guidelines measure it, 1 to 21.
double contrastRatio(const QColor& first, const QColor& second);

// Text that stands back from the usual text yet stays legible: the text colour faded towards the
// first background only as far as every background keeps at least minimumRatio against it (the
// text colour itself where even that falls short).
QColor mutedTextColor(const QColor& text, const QList<QColor>& backgrounds,
                      double minimumRatio = 4.5);
