// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressBar>

// An indeterminate progress bar that is only on screen while it runs. Hidden, it takes no room,
// so what stands beside it moves up to the edge. Screen readers know it as busy while it runs,
// with no value to step.
class BusyIndicator : public QProgressBar {
    Q_OBJECT
public:
    explicit BusyIndicator(QWidget* parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return animating; }

private:
    void setAnimating(bool on);

    bool animating = false;
};
