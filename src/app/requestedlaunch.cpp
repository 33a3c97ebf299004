// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/requestedlaunch.h"

#include "app/controller.h"
#include "app/install/modinstallflow.h"
#include "installation/gamecopies.h"
#include "support/preferencekeys.h"
#include "support/userdefaults.h"

#include <QAbstractProxyModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace {

QString gameFolderInUse() {
    return UserDefaults::standard().stringForKey(preferenceKeys::unrealPath).value_or(QString());
}

bool isLaunch(const StartRequest& request) {
    return request.action == StartAction::LaunchMod || request.action == StartAction::LaunchGame;
}

// The view's row of a row of the mod list, through a sorting proxy where there is one.
QModelIndex viewIndexOfMod(const QTableView& table, int row) {
    QAbstractItemModel* model = table.model();
    if (auto* proxy = qobject_cast<QAbstractProxyModel*>(model))
        return proxy->mapFromSource(proxy->sourceModel()->index(row, 0));
    return model->index(row, 0);
}

} // namespace

RequestedLaunch::RequestedLaunch(Controller& controller)
    : QObject(&controller), controller(controller) {
    connect(&controller, &Controller::searchEnded, this, [this] { searchEnded(); });
}

void RequestedLaunch::startWith(const StartRequest& request) {
    // Installed once the mods are listed.
    pendingDownloads = request.downloads;
    if (request.gameFolder) {
        const std::optional<QString> copy = recognisedGameCopy(*request.gameFolder);
        if (!copy) {
            // Start-up's search would blank it at once: said when the search has ended.
            pendingMessage = QStringLiteral("No copy of the game in %1").arg(*request.gameFolder);
            return;
        }
        UserDefaults::standard().setArgumentValue(preferenceKeys::unrealPath, *copy);
    }
    if (isLaunch(request))
        pending = request;
}

void RequestedLaunch::follow(const StartRequest& request) {
    pendingDownloads += request.downloads;
    if (controller.isLaunching()) {
        // The install says why it does not start now.
        installPending();
        if (isLaunch(request))
            controller.statusField->setText(
                QStringLiteral("A game is already running: nothing else was launched."));
        return;
    }
    pendingMessage.reset();
    pending.reset();
    const std::optional<QString> copy =
        request.gameFolder ? recognisedGameCopy(*request.gameFolder) : std::nullopt;
    if (request.gameFolder && !copy) {
        controller.statusField->setText(
            QStringLiteral("No copy of the game in %1").arg(*request.gameFolder));
        return;
    }
    if (copy && !isSameFolder(*copy, gameFolderInUse())) {
        UserDefaults::standard().setArgumentValue(preferenceKeys::unrealPath, *copy);
        if (isLaunch(request))
            pending = request;
        controller.reload();
        return;
    }
    if (!isLaunch(request)) {
        if (!controller.searching)
            installPending();
        return;
    }
    pending = request;
    // Else the search that runs ends and launches it.
    if (!controller.searching)
        launchPending();
}

void RequestedLaunch::searchEnded() {
    if (const auto message = std::exchange(pendingMessage, std::nullopt))
        controller.statusField->setText(*message);
    launchPending();
    installPending();
}

void RequestedLaunch::installPending() {
    const QStringList downloads = std::exchange(pendingDownloads, {});
    if (!downloads.isEmpty() && controller.installFlow)
        controller.installFlow->installFiles(downloads);
}

void RequestedLaunch::launchPending() {
    const std::optional<StartRequest> request = std::exchange(pending, std::nullopt);
    if (!request)
        return;
    int row = -1;
    for (int each = 0; each < controller.mods.size() && row < 0; ++each) {
        const std::optional<QString>& folder = controller.mods.at(each).launchName;
        if (request->action == StartAction::LaunchGame ? !folder : folder == request->folder)
            row = each;
    }
    if (row < 0) {
        // Nobody reads a desktop entry's standard error: the window says it, until the next act.
        controller.statusField->setText(
            QStringLiteral("No mod called %1 in %2").arg(request->folder, gameFolderInUse()));
        return;
    }
    QTableView& table = *controller.tableView;
    const QModelIndex index = viewIndexOfMod(table, row);
    table.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    table.scrollTo(index);
    // As a press of Launch: nothing where the button could not be pressed.
    controller.launchButton->click();
}
