// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/descriptionview.h"

#include <QEvent>
#include <QtMath>

DescriptionView::DescriptionView(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    // The width it is given decides its height.
    // (Not a fixed height: a layout caps that at the size hint's, whatever the width.)
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void DescriptionView::setDescription(const QString& html, bool hasLinks) {
    setHtml(html);
    measured.setDefaultFont(document()->defaultFont());
    measured.setDefaultTextOption(document()->defaultTextOption());
    measured.setDocumentMargin(document()->documentMargin());
    measured.setHtml(html);
    heights.clear();
    setTextInteractionFlags(hasLinks ? Qt::TextBrowserInteraction : Qt::TextSelectableByMouse);
    setFocusPolicy(hasLinks ? Qt::StrongFocus : Qt::NoFocus);
    updateGeometry();
}

bool DescriptionView::hasHeightForWidth() const {
    return true;
}

int DescriptionView::heightForWidth(int width) const {
    if (const auto known = heights.constFind(width); known != heights.cend())
        return *known;
    measured.setTextWidth(width);
    return heights[width] = qCeil(measured.size().height());
}

QSize DescriptionView::sizeHint() const {
    return {0, heightForWidth(width())};
}

QSize DescriptionView::minimumSizeHint() const {
    return {0, 0};
}

void DescriptionView::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        measured.setDefaultFont(document()->defaultFont());
        heights.clear();
        updateGeometry();
    }
}
