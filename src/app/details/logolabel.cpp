// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/logolabel.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

LogoLabel::LogoLabel(QWidget* parent) : QLabel(parent) {
    // The window's width decides the logo's, never the other way round.
    // (Not a fixed height: a layout caps that at the size hint's, whatever the width.)
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void LogoLabel::setLogo(const QImage& logo) {
    original = logo;
    setPixmap(QPixmap());
    scaleToFit();
    updateGeometry();
}

QRect LogoLabel::logoRectFor(int width) const {
    if (original.isNull() || width <= 0)
        return {};
    const int heightLimit = std::max(1, std::min(width / 4, window()->height() / 3));
    const double scale = std::min({double(width) / original.width(),
                                   double(heightLimit) / original.height(), double(maxScale)});
    const int shownWidth = std::clamp(qRound(original.width() * scale), 1, width);
    const int shownHeight = std::clamp(qRound(original.height() * scale), 1, heightLimit);
    return {(width - shownWidth) / 2, 0, shownWidth, shownHeight};
}

bool LogoLabel::hasHeightForWidth() const {
    return true;
}

int LogoLabel::heightForWidth(int width) const {
    return logoRectFor(width).height();
}

QSize LogoLabel::sizeHint() const {
    return original.isNull() ? QSize(0, 0)
                             : QSize(original.width(), heightForWidth(original.width()));
}

QSize LogoLabel::minimumSizeHint() const {
    return {0, 0};
}

void LogoLabel::scaleToFit() {
    const QSize shown = logoRect().size();
    if (original.isNull() || shown.isEmpty() || pixmap().deviceIndependentSize().toSize() == shown)
        return;
    const qreal ratio = devicePixelRatioF();
    QPixmap scaled = QPixmap::fromImage(
        original.scaled(shown * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    scaled.setDevicePixelRatio(ratio);
    setPixmap(scaled);
}

void LogoLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    scaleToFit();
}

void LogoLabel::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    if (watchedWindow == window())
        return;
    if (watchedWindow)
        watchedWindow->removeEventFilter(this);
    watchedWindow = window();
    watchedWindow->installEventFilter(this);
}

bool LogoLabel::eventFilter(QObject* watched, QEvent* event) {
    // A window that changes height changes the height limit, though perhaps not this width.
    if (watched == watchedWindow && event->type() == QEvent::Resize &&
        static_cast<QResizeEvent*>(event)->size().height() !=
            static_cast<QResizeEvent*>(event)->oldSize().height())
        updateGeometry();
    return QLabel::eventFilter(watched, event);
}

void LogoLabel::paintEvent(QPaintEvent*) {
    const QPixmap shown = pixmap();
    if (shown.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(logoRect(), shown);
}
