// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressBar>

// An indeterminate progress bar that is only on screen while it runs.
class BusyIndicator : public QProgressBar {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return animating; }

private:
    bool animating = false;
};
