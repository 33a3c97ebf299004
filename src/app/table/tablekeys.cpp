// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/tablekeys.h"

#include "app/table/linkcelldelegate.h"

#include <QAbstractItemView>
#include <QKeyEvent>

TableKeys::TableKeys(QAbstractItemView* view, std::function<void()> launch)
    : QObject(view), view(view), launch(std::move(launch)) {
    view->installEventFilter(this);
}

bool TableKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A held key starts one game, not one per repeat.
        if (!key->isAutoRepeat())
            launch();
        return true;
    case Qt::Key_Space: {
        const QModelIndex current = view->currentIndex();
        auto* link = current.isValid()
                         ? qobject_cast<LinkCellDelegate*>(view->itemDelegateForIndex(current))
                         : nullptr;
        if (!link || !link->hasButton(current))
            return false;
        // Nor does a held key open one page after another.
        if (!key->isAutoRepeat())
            link->click(current);
        return true;
    }
    default:
        return false;
    }
}
