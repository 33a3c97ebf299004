// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/vxfadewindow.h"

#include "support/preferencekeys.h"
#include "support/userdefaults.h"

#include <QCloseEvent>
#include <QTimer>

namespace {

constexpr int tickIntervalMs = 10;
constexpr double fadeOutStart = 1.0;
constexpr double fadeOutStep = 0.1;
constexpr double fadeInStep = 0.15;

// Read at every show and close, so a change of the preference counts from the next call on.
bool fadingWindows() {
    return UserDefaults::standard().boolForKey(preferenceKeys::fadingWindows);
}

} // namespace

VXFadeWindow::VXFadeWindow(QWidget* parent) : QWidget(parent) {}

void VXFadeWindow::makeKeyAndOrderFront(QObject* /*sender*/) {
    const bool fadeIn = (fadingWindows() && !launched) || alphaValue() < 1.0f;
    if (!fadeIn) {
        stopFadeTimer();
        baseMakeKeyAndOrderFront();
        return;
    }
    // On screen at its current alpha from the start of the fade.
    baseMakeKeyAndOrderFront();
    timerAlphaValue = static_cast<double>(alphaValue());
    launched = true;
    startFadeTimer(&VXFadeWindow::fadeInTimerFired);
}

void VXFadeWindow::orderFrontRegardless() {
    show();
    raise();
    setAlphaValue(1.0f);
}

void VXFadeWindow::performClose() {
    emit closeRequestedByUser();
    close();
}

void VXFadeWindow::setAlphaValue(float value) {
    // The last tick of a fade overshoots (about -0.1 or up to 1.15); keeping the value in range
    // makes every fade-in after a fade-out start from exactly 0.0. NaN counts as transparent.
    if (!(value >= 0.0f))
        value = 0.0f;
    else if (value > 1.0f)
        value = 1.0f;
    alpha = value;
    setWindowOpacity(value);
}

void VXFadeWindow::fadeTimerFired() {
    timerAlphaValue -= fadeOutStep;
    setAlphaValue(static_cast<float>(timerAlphaValue));
    if (timerAlphaValue < 0.0) {
        stopFadeTimer();
        baseClose();
    }
}

void VXFadeWindow::fadeInTimerFired() {
    timerAlphaValue += fadeInStep;
    setAlphaValue(static_cast<float>(timerAlphaValue));
    if (timerAlphaValue > 1.0)
        stopFadeTimer();
}

void VXFadeWindow::closeEvent(QCloseEvent* event) {
    // Never let Qt close the window itself: an accepted close destroys the native window, and a
    // later close() of the hidden widget would then no longer arrive here.
    event->ignore();
    if (event->spontaneous())
        emit closeRequestedByUser();

    if (!fadingWindows()) {
        // A running fade is left to finish on the closed window.
        baseClose();
        return;
    }
    // A window that is not fully opaque is fading already: a fade-out will close it, a fade-in
    // keeps it open.
    if (alphaValue() < 1.0f)
        return;
    timerAlphaValue = fadeOutStart;
    startFadeTimer(&VXFadeWindow::fadeTimerFired);
}

void VXFadeWindow::startFadeTimer(void (VXFadeWindow::*tick)()) {
    stopFadeTimer();
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(tickIntervalMs);
    connect(timer, &QTimer::timeout, this, tick);
    timer->start();
    fadeTimer = timer;
}

void VXFadeWindow::stopFadeTimer() {
    if (!fadeTimer)
        return;
    fadeTimer->stop();
    // The tick that stops the timer runs inside its timeout signal.
    fadeTimer->deleteLater();
    fadeTimer = nullptr;
}

void VXFadeWindow::baseMakeKeyAndOrderFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void VXFadeWindow::baseClose() {
    hide();
    emit didClose();
}
