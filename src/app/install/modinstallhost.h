// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class QWidget;

// What installing and removing mods needs of the window around it.
class ModInstallHost {
public:
    virtual ~ModInstallHost() = default;

    virtual QString gameFolderInUse() const = 0;
    // A game is starting or running, or the mods are being listed: nothing is written then.
    virtual bool isBusy() const = 0;
    // While an install or removal runs, Launch, Reload and the Game selector are off.
    virtual void setInstalling(bool installing) = 0;
    // Says so on the status line, also once a search started meanwhile has ended.
    virtual void showStatus(const QString& text) = 0;
    // Lists the mods again, as Reload does, and selects the mod in that folder when it appears
    // (absent: the row selected now).
    virtual void relistSelecting(const std::optional<QString>& modFolder) = 0;
    // Where dialogs open.
    virtual QWidget* dialogParent() const = 0;
};
