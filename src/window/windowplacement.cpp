// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowplacement.h"

#include "support/preferencekeys.h"
#include "support/userdefaults.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QRect fitIntoScreen(const QRect& frame, const QRect& available) {
    if (available.isEmpty())
        return frame;
    const QSize size = frame.size().boundedTo(available.size());
    const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - size.width());
    const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

WindowPlacement::WindowPlacement(QWidget& window) : QObject(&window), window(window) {
    place();
    storeTimer.setSingleShot(true);
    storeTimer.setInterval(500);
    connect(&storeTimer, &QTimer::timeout, this, &WindowPlacement::store);
    // Quitting (Ctrl+Q) does not wait for the timer.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (storeTimer.isActive())
            store();
    });
    window.installEventFilter(this);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        storeTimer.start();
    return false;
}

void WindowPlacement::place() {
    const auto stored = UserDefaults::standard().objectForKey(preferenceKeys::windowGeometry);
    const bool restored = stored && window.restoreGeometry(stored->toByteArray());
    if (window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    QRect frame = window.frameGeometry();
    const QScreen* screen = restored ? QGuiApplication::screenAt(frame.center()) : nullptr;
    if (!screen)
        screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    if (!restored)
        frame.moveCenter(available.center());
    const QRect fitted = fitIntoScreen(frame, available);
    // The frame (title bar and borders) around what resize() sets.
    const QSize border = window.frameGeometry().size() - window.size();
    if (fitted.size() != frame.size())
        window.resize(fitted.size() - border);
    window.move(fitted.topLeft());
}

void WindowPlacement::store() {
    UserDefaults::standard().setObjectForKey(window.saveGeometry(), preferenceKeys::windowGeometry);
}
