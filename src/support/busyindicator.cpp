// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/busyindicator.h"

BusyIndicator::BusyIndicator(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 0);
    setTextVisible(false);
    // Keep its place in the layout while hidden, so the status line does not jump.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    setVisible(false);
}

void BusyIndicator::startAnimation() {
    animating = true;
    setVisible(true);
}

void BusyIndicator::stopAnimation() {
    animating = false;
    setVisible(false);
}
