// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/logolabel.h"

#include <QPainter>

LogoLabel::LogoLabel(QWidget* parent) : QLabel(parent) {
    // The window's width decides the logo's, never the other way round.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QRect LogoLabel::logoRectFor(int width) const {
    const QPixmap logo = pixmap();
    if (logo.isNull() || logo.width() <= 0 || width <= 0)
        return {};
    const int shownWidth = qMin(width, logo.width() * maxScale);
    const int shownHeight = qMax(1, int(qint64(shownWidth) * logo.height() / logo.width()));
    return {(width - shownWidth) / 2, 0, shownWidth, shownHeight};
}

bool LogoLabel::hasHeightForWidth() const {
    return true;
}

int LogoLabel::heightForWidth(int width) const {
    return logoRectFor(width).height();
}

QSize LogoLabel::sizeHint() const {
    const QPixmap logo = pixmap();
    return logo.isNull() ? QSize(0, 0) : logo.size();
}

QSize LogoLabel::minimumSizeHint() const {
    return {0, 0};
}

void LogoLabel::paintEvent(QPaintEvent*) {
    const QPixmap logo = pixmap();
    if (logo.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(logoRect(), logo);
}
