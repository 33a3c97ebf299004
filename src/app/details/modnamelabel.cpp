// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/modnamelabel.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <numeric>

namespace {

// More than the lines can hold at any width: the rest of a huge title is never laid out.
constexpr qsizetype laidOutLength = 4096;

} // namespace

ModNameLabel::ModNameLabel(QWidget* parent) : QLabel(parent) {
    // The window's width decides how the title wraps, never the other way round.
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setTextFormat(Qt::PlainText);
}

void ModNameLabel::setTitle(const QString& title) {
    setText(title);
    updateToolTip();
}

QStringList ModNameLabel::linesFor(int width) const {
    if (width <= 0 || text().isEmpty())
        return {};
    qsizetype length = std::min(text().size(), laidOutLength);
    if (length < text().size() && text().at(length).isLowSurrogate())
        --length;
    const QString title = text().first(length);
    QTextLayout layout(title, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid() && lines.size() < maxLines;
         line = layout.createLine()) {
        line.setLineWidth(width);
        lines << title.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    const qsizetype shown =
        std::accumulate(lines.cbegin(), lines.cend(), qsizetype(0),
                        [](qsizetype sum, const QString& line) { return sum + line.size(); });
    if (shown < text().size()) {
        const qsizetype lastStart = shown - lines.constLast().size();
        lines.last() = fontMetrics().elidedText(title.sliced(lastStart), Qt::ElideRight, width);
    }
    return lines;
}

void ModNameLabel::updateToolTip() {
    const QStringList lines = shownLines();
    const bool elided = !lines.isEmpty() && lines.join(QString()) != text();
    setToolTip(elided ? text() : QString());
}

bool ModNameLabel::hasHeightForWidth() const {
    return true;
}

int ModNameLabel::heightForWidth(int width) const {
    return int(std::max<qsizetype>(1, linesFor(width).size())) * fontMetrics().lineSpacing();
}

QSize ModNameLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(text().first(std::min(text().size(), qsizetype(256)))),
            fontMetrics().lineSpacing()};
}

QSize ModNameLabel::minimumSizeHint() const {
    return {0, fontMetrics().lineSpacing()};
}

void ModNameLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void ModNameLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const int spacing = fontMetrics().lineSpacing();
    int top = 0;
    for (const QString& line : shownLines()) {
        painter.drawText(QRect(0, top, width(), spacing), Qt::AlignLeft | Qt::AlignVCenter, line);
        top += spacing;
    }
}
