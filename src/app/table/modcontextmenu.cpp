// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/modcontextmenu.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QShortcut>

ModContextMenu::ModContextMenu(QAbstractItemView* view, CanAct canAct, Act act)
    : QMenu(view), view(view), canAct(std::move(canAct)) {
    setAccessibleName(QStringLiteral("Mod actions"));
    setTitle(QStringLiteral("Mod actions"));
    addEntry(Entry::Launch, QStringLiteral("Launch"));
    addEntry(Entry::VisitWebSite, QStringLiteral("Visit Web Site"));
    addEntry(Entry::OpenFolder, QStringLiteral("Open Folder"));
    addEntry(Entry::CreateDesktopShortcut, QStringLiteral("Create Desktop Shortcut"));
    addSeparator();
    addEntry(Entry::Remove, QStringLiteral("Remove Mod…"));
    for (const auto& [entry, action] : std::as_const(entries))
        connect(action, &QAction::triggered, this, [act, entry = entry] { act(entry); });
    connect(this, &QMenu::aboutToShow, this, [this] { updateEntries(); });

    // The mouse's menu reaches the viewport, the Menu key's the view.
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), view, nullptr, nullptr,
                                   Qt::WidgetWithChildrenShortcut);
    connect(shiftF10, &QShortcut::activated, this, [this] { openForRow(keyboardRow()); });
}

void ModContextMenu::addEntry(Entry entry, const QString& text) {
    entries.append({entry, addAction(text)});
}

QAction* ModContextMenu::action(Entry entry) const {
    for (const auto& [each, action] : entries)
        if (each == entry)
            return action;
    return nullptr;
}

void ModContextMenu::updateEntries() {
    for (const auto& [entry, action] : std::as_const(entries))
        action->setEnabled(canAct(entry));
}

int ModContextMenu::keyboardRow() const {
    const QModelIndexList selected = view->selectionModel()->selectedRows();
    if (!selected.isEmpty())
        return selected.constFirst().row();
    return view->currentIndex().isValid() ? view->currentIndex().row() : -1;
}

void ModContextMenu::openForRow(int row, std::optional<QPoint> position) {
    const QModelIndex index = view->model()->index(row, 0);
    if (!index.isValid())
        return;
    // Refused while the rows are locked: the entries then find nothing they may do.
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    view->scrollTo(index);
    const QPoint at = position.value_or(view->visualRect(index).bottomLeft());
    popup(view->viewport()->mapToGlobal(at));
}

bool ModContextMenu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu)
        return QMenu::eventFilter(watched, event);
    const auto* request = static_cast<QContextMenuEvent*>(event);
    if (request->reason() == QContextMenuEvent::Mouse) {
        const QPoint at = view->viewport()->mapFromGlobal(request->globalPos());
        openForRow(view->indexAt(at).row(), at);
    } else {
        openForRow(keyboardRow());
    }
    return true;
}
