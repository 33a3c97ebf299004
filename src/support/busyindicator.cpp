// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/busyindicator.h"

#include <QAccessibleWidget>

namespace {

// Qt's progress bar offers a value that can be stepped, which screen readers present as a
// slider with Increase and Decrease; this one has no value, only its busy state.
class BusyIndicatorAccessible : public QAccessibleWidget {
public:
    explicit BusyIndicatorAccessible(BusyIndicator* indicator)
        : QAccessibleWidget(indicator, QAccessible::ProgressBar) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.busy = static_cast<const BusyIndicator*>(widget())->isAnimating();
        return state;
    }
};

QAccessibleInterface* busyIndicatorFactory(const QString&, QObject* object) {
    auto* indicator = qobject_cast<BusyIndicator*>(object);
    return indicator ? new BusyIndicatorAccessible(indicator) : nullptr;
}

} // namespace

BusyIndicator::BusyIndicator(QWidget* parent) : QProgressBar(parent) {
    QAccessible::installFactory(busyIndicatorFactory);
    setRange(0, 0);
    setTextVisible(false);
    setVisible(false);
}

void BusyIndicator::startAnimation() {
    setAnimating(true);
}

void BusyIndicator::stopAnimation() {
    setAnimating(false);
}

void BusyIndicator::setAnimating(bool on) {
    const bool changed = on != animating;
    animating = on;
    setVisible(on);
    if (!changed)
        return;
    QAccessible::State busy;
    busy.busy = true;
    QAccessibleStateChangeEvent event(this, busy);
    QAccessible::updateAccessibility(&event);
}
