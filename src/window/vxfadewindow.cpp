#include "window/vxfadewindow.h"

#include <QCloseEvent>
#include <QTimer>

VXFadeWindow::VXFadeWindow(QWidget* parent) : QWidget(parent) {}

void VXFadeWindow::makeKeyAndOrderFront(QObject*) {
    setAlphaValue(1.0f);
    show();
    raise();
    activateWindow();
}

void VXFadeWindow::orderFrontRegardless() {}
void VXFadeWindow::setAlphaValue(float value) {
    alpha = value;
    setWindowOpacity(value);
}
void VXFadeWindow::fadeTimerFired() {}
void VXFadeWindow::fadeInTimerFired() {}
void VXFadeWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (event->spontaneous())
        emit closeRequestedByUser();
    baseClose();
}
void VXFadeWindow::startFadeTimer(void (VXFadeWindow::*)()) {}
void VXFadeWindow::stopFadeTimer() {}
void VXFadeWindow::baseClose() {
    hide();
    emit didClose();
}
