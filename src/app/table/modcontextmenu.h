// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMenu>
#include <QPoint>
#include <functional>
#include <optional>

class QAbstractItemView;

// The menu of a table of mods: a right click on a row, the Menu key or Shift+F10 (which Qt leaves
// alone) select the row and open it there. Each entry asks, as the menu opens, whether it can act
// on the selection now; a disabled one does nothing.
class ModContextMenu : public QMenu {
    Q_OBJECT
public:
    enum class Entry {
        Launch,
        VisitWebSite,
        OpenFolder,
        CreateDesktopShortcut,
        // Removing a mod comes last, after a separator of its own.
        Remove,
    };
    using CanAct = std::function<bool(Entry)>;
    using Act = std::function<void(Entry)>;

    // Watches the view's mouse and keys, as the view's child.
    ModContextMenu(QAbstractItemView* view, CanAct canAct, Act act);

    QAction* action(Entry entry) const;
    // Selects the row (where it may be selected) and opens the menu beside it; position in the
    // view's viewport, or absent for below the row's first cell.
    void openForRow(int row, std::optional<QPoint> position = std::nullopt);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addEntry(Entry entry, const QString& text);
    void updateEntries();
    // The row the keyboard means: the selected one, else the current one; -1 for none.
    int keyboardRow() const;

    QAbstractItemView* view;
    CanAct canAct;
    QList<std::pair<Entry, QAction*>> entries;
};
