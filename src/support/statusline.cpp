// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/statusline.h"

#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

// Named by its text, as Qt's own label, but in the role that screen readers speak on a change.
class StatusLineAccessible : public QAccessibleWidget {
public:
    explicit StatusLineAccessible(StatusLine* line)
        : QAccessibleWidget(line, QAccessible::StatusBar) {}

    QString text(QAccessible::Text type) const override {
        const QString given = QAccessibleWidget::text(type);
        if (type == QAccessible::Name && given.isEmpty())
            return static_cast<const QLabel*>(widget())->text();
        return given;
    }
};

QAccessibleInterface* statusLineFactory(const QString&, QObject* object) {
    auto* line = qobject_cast<StatusLine*>(object);
    return line ? new StatusLineAccessible(line) : nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget* parent) : QLabel(parent) {
    QAccessible::installFactory(statusLineFactory);
    // Texts such as a failure's reason are shown as they are, never read as markup.
    setTextFormat(Qt::PlainText);
}

QString StatusLine::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize StatusLine::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QChar(0x2026)), QLabel::minimumSizeHint().height()};
}

bool StatusLine::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (text().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this, rect());
        return true;
    }
    return QLabel::event(event);
}

void StatusLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}
