// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/linkbuttoncell.h"

#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QRectF>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>

namespace {

// The image grows with the row height, up to a size that still reads as a small button.
constexpr qreal largestSide = 20.0;
constexpr qreal margin = 2.0;

} // namespace

LinkButtonCell::LinkButtonCell() = default;
LinkButtonCell::~LinkButtonCell() = default;

void LinkButtonCell::performClick() const {
    if (cellAction)
        cellAction();
}

std::optional<QString> LinkButtonCell::shownImage() const {
    if (cellImagePosition == ImagePosition::NoImage)
        return std::nullopt;
    if (highlighted && cellButtonType == ButtonType::MomentaryChange && alternateImageName)
        return alternateImageName;
    return imageName;
}

QSvgRenderer* LinkButtonCell::renderer(const QString& name) const {
    auto found = renderers.find(name);
    if (found == renderers.end())
        found = renderers
                    .emplace(name, std::make_unique<QSvgRenderer>(
                                       QStringLiteral(":/images/%1.svg").arg(name)))
                    .first;
    return found->second->isValid() ? found->second.get() : nullptr;
}

void LinkButtonCell::draw(QPainter& painter, const QRectF& rect, const QPalette& palette) const {
    if (bordered) {
        painter.save();
        painter.setPen(palette.color(QPalette::Mid));
        painter.setBrush(palette.button());
        painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.restore();
    }
    if (cellImagePosition != ImagePosition::ImageOnly && !cellTitle.isEmpty()) {
        painter.save();
        painter.setPen(palette.color(QPalette::ButtonText));
        painter.drawText(rect, Qt::AlignCenter, cellTitle);
        painter.restore();
    }
    const std::optional<QString> name = shownImage();
    QSvgRenderer* svg = name ? renderer(*name) : nullptr;
    if (!svg)
        return;
    const qreal room = std::min(rect.width(), rect.height()) - 2 * margin;
    const qreal side = std::floor(std::min(room, largestSide));
    if (side <= 0)
        return;
    // Whole-pixel placement keeps the glyph's straight edges on the pixel grid.
    QRectF target(0, 0, side, side);
    target.moveCenter(rect.center());
    target.moveTopLeft(QPointF(std::round(target.left()), std::round(target.top())));
    svg->render(&painter, target);
    if (focusRing) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette.color(QPalette::Text), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(target.adjusted(-1.25, -1.25, 1.25, 1.25), 3, 3);
        painter.restore();
    }
}
