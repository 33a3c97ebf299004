// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A logo drawn as wide as the label, its aspect kept and smoothly scaled, but never more than
// twice its own size; as tall as that width makes it. Its accessible role is a picture.
class LogoLabel : public QLabel {
public:
    static constexpr int maxScale = 2;

    explicit LogoLabel(QWidget* parent = nullptr);

    // The picture's place within the label's current width.
    QRect logoRect() const { return logoRectFor(width()); }

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect logoRectFor(int width) const;
};
