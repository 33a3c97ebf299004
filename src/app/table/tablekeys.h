// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;

// The keys a table of mods answers whatever cell is current: Return and Enter launch, and Space
// on a link cell that shows a button clicks it. Qt's own view only activates the current cell on
// Return, and Space only selects.
class TableKeys : public QObject {
    Q_OBJECT
public:
    // Watches the view's keys, as its child; launch is what Return and Enter do.
    TableKeys(QAbstractItemView* view, std::function<void()> launch);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* view;
    std::function<void()> launch;
};
