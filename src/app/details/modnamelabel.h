// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QStringList>

// A mod's title on up to maxLines lines, wrapped between words where it can be and anywhere
// where it cannot, so a title without spaces is never cut off. A title that needs more lines is
// elided at the end of the last one, and then shows whole as the tooltip.
class ModNameLabel : public QLabel {
public:
    static constexpr int maxLines = 3;

    explicit ModNameLabel(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // The lines drawn at the label's current width.
    QStringList shownLines() const { return linesFor(width()); }

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QStringList linesFor(int width) const;
    void updateToolTip();
};
