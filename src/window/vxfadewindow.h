// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QTimer;

// The main window: fades in when shown and out before it leaves the screen. A fade is a 0.01 s
// repeating timer that moves the alpha one fixed step per tick, counted in ticks, not time.
class VXFadeWindow : public QWidget {
    Q_OBJECT
public:
    explicit VXFadeWindow(QWidget* parent = nullptr);

    // Show, raise, activate; fade in where the rules say so.
    void makeKeyAndOrderFront(QObject* sender);
    // To the front at once, alpha 1.0; a running fade goes on from where it was.
    void orderFrontRegardless();
    // Closes as the user's close does: closeRequestedByUser(), then the fade rules.
    void performClose();

    float alphaValue() const { return alpha; }
    // Limited to 0.0 - 1.0 and mirrored to the window's opacity.
    void setAlphaValue(float value);

    // The running fade's timer, or null; at most one fade timer runs at a time.
    QTimer* fadeTimer = nullptr;
    double timerAlphaValue = 0.0;
    bool launched = false;

signals:
    // The user (window manager, title bar) asked for the window to close.
    void closeRequestedByUser();
    // The window has left the screen.
    void didClose();

public slots:
    void fadeTimerFired();   // one fade-out tick
    void fadeInTimerFired(); // one fade-in tick

protected:
    // Every close, ours and the window manager's, goes through the fade rules.
    void closeEvent(QCloseEvent* event) override;

private:
    void startFadeTimer(void (VXFadeWindow::*tick)());
    void stopFadeTimer();
    void baseMakeKeyAndOrderFront();
    void baseClose();

    // Kept here rather than read back from windowOpacity(): Qt keeps opacity in steps of 1/255,
    // which would change where the fades end.
    float alpha = 1.0f;
};
