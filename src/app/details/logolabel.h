// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QLabel>
#include <QPointer>

// A logo drawn whole, centred, its aspect kept and smoothly scaled: as large as fits the label's
// width and no taller than a 4:1 logo of that width or a third of the window, but never more
// than twice its own size. Its accessible role is a picture.
class LogoLabel : public QLabel {
public:
    static constexpr int maxScale = 2;

    explicit LogoLabel(QWidget* parent = nullptr);

    // A null image shows nothing.
    void setLogo(const QImage& logo);
    const QImage& logo() const { return original; }
    // The picture's place within the label's current width.
    QRect logoRect() const { return logoRectFor(width()); }

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect logoRectFor(int width) const;
    // The label's pixmap is the logo at the size drawn, so painting never scales.
    void scaleToFit();

    // Kept whole and shared with the loader's cache; the pixmap alone is scaled.
    QImage original;
    // The window whose height limits the logo's.
    QPointer<QWidget> watchedWindow;
};
