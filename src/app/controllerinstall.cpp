// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/details/moddetailspane.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"
#include "window/vxfadewindow.h"

#include <QLabel>
#include <QPushButton>

QString Controller::gameFolderInUse() const {
    return UserDefaults::standard().stringForKey(preferenceKeys::unrealPath).value_or(QString());
}

void Controller::setInstalling(bool on) {
    installing = on;
    updateGameControls();
    launchButton->setEnabled(!on && !searching && !launching && selectedRow() >= 0);
    if (installButton)
        installButton->setEnabled(!on);
    if (detailsPane)
        detailsPane->setRemoveAllowed(!on);
}

void Controller::showStatus(const QString& text) {
    statusField->setText(text);
    // A search started just now would end by clearing it.
    statusAfterSearch = text;
}

void Controller::relistSelecting(const std::optional<QString>& modFolder) {
    reload();
    if (!modFolder)
        return;
    ModEntry installed;
    installed.launchName = modFolder;
    keptSelection.keep(installed);
}

QWidget* Controller::dialogParent() const {
    return window;
}
