// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/focusring.h"

#include <QApplication>
#include <QPainter>

FocusRing::FocusRing(QWidget& window) : QWidget(&window) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusRing::follow(QWidget* focused) {
    for (const QPointer<QWidget>& widget : std::as_const(watched))
        if (widget)
            widget->removeEventFilter(this);
    watched.clear();
    target = focused && focused != window() && focused->window() == window() ? focused : nullptr;
    for (QWidget* widget = target; widget && widget != window(); widget = widget->parentWidget()) {
        widget->installEventFilter(this);
        watched << widget;
    }
    place();
}

void FocusRing::place() {
    if (!target || !target->isVisible()) {
        hide();
        return;
    }
    // The part's rectangle in the window, less what its scroll areas and frames cut off.
    QRect shown(target->mapTo(window(), QPoint()), target->size());
    for (QWidget* outer = target->parentWidget(); outer && outer != window();
         outer = outer->parentWidget())
        shown &= QRect(outer->mapTo(window(), QPoint()), outer->size());
    if (shown.isEmpty()) {
        hide();
        return;
    }
    const QRect outside = shown.adjusted(-thickness, -thickness, thickness, thickness);
    setGeometry(outside);
    setMask(QRegion(rect()) -
            QRegion(rect().adjusted(thickness, thickness, -thickness, -thickness)));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        place();
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Active, QPalette::Highlight));
}
