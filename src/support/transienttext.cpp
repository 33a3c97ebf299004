// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/transienttext.h"

#include <QLabel>
#include <QTimer>

void showForAWhile(QLabel& label, const QString& text, std::chrono::milliseconds shown) {
    // One timer per label, so that a new while replaces the last one's clear.
    const QString name = QStringLiteral("transientTextTimer");
    auto* timer = label.findChild<QTimer*>(name, Qt::FindDirectChildrenOnly);
    if (!timer) {
        timer = new QTimer(&label);
        timer->setObjectName(name);
        timer->setSingleShot(true);
    }
    timer->disconnect();
    QObject::connect(timer, &QTimer::timeout, &label, [&label, text] {
        if (label.text() == text)
            label.setText(QStringLiteral(""));
    });
    label.setText(text);
    timer->start(shown);
}
