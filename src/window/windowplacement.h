// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>

class QWidget;

// The frame moved (and where larger than the screen's room, shrunk) as little as it takes to lie
// within the available area; an empty area changes nothing.
QRect fitIntoScreen(const QRect& frame, const QRect& available);

// Puts a window where the player left it last time (restoreGeometry under the preference
// windowGeometry), else in the middle of its screen, and always within the available area of the
// screen it opens on, title bar included; then stores its geometry whenever it has been moved or
// resized. Lives as the window's child.
class WindowPlacement : public QObject {
    Q_OBJECT
public:
    explicit WindowPlacement(QWidget& window);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();
    void store();

    QWidget& window;
    // Moves come in bursts while the player drags; the store is written once they settle.
    QTimer storeTimer;
};
