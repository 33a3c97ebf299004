// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/table/modcontextmenu.h"

#include <QObject>
#include <memory>

class Controller;
class MainThreadQueue;

// What the table's context menu does with the selected row: launch it, open its web page or its
// folder, or put a shortcut to it on the desktop. Nothing while the rows are locked (a search or
// a launch), as the window's buttons.
class ModActions : public QObject {
    Q_OBJECT
public:
    // Gives the controller's table its context menu; the controller's child.
    explicit ModActions(Controller& controller);
    ~ModActions() override;

    bool canAct(ModContextMenu::Entry entry) const;
    void act(ModContextMenu::Entry entry);

    ModContextMenu& menu() const { return *contextMenu; }

private:
    // The selected row's folder: the mod's, or the game's for the plain game.
    QString selectedFolder() const;
    void createDesktopShortcut();

    Controller& controller;
    ModContextMenu* contextMenu = nullptr;
    std::shared_ptr<MainThreadQueue> mainThread;
};
