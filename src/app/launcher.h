// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

class Controller;
class QSplitter;
class VXFadeWindow;

// The main window built from its form and the controller wired to it, as start-up needs them.
class Launcher {
public:
    Launcher();
    ~Launcher();

    VXFadeWindow& window() const { return *mainWindow; }
    Controller& controller() const { return *launcherController; }

private:
    // Restores the split between table and details pane, and stores it whenever it is moved.
    static void keepSplitterPosition(QSplitter& splitter);

    std::unique_ptr<VXFadeWindow> mainWindow;
    Controller* launcherController = nullptr; // a child of the window
};
