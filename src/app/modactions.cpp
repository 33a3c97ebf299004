// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/modactions.h"

#include "app/controller.h"
#include "app/install/modinstallflow.h"
#include "catalogue/modlogo.h"
#include "catalogue/weblink.h"
#include "installation/desktopshortcut.h"
#include "support/mainthreadqueue.h"
#include "support/preferencekeys.h"
#include "support/systemservices.h"
#include "support/threadhandover.h"
#include "support/userdefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTableView>

namespace {

QString gameFolderInUse() {
    return UserDefaults::standard().stringForKey(preferenceKeys::unrealPath).value_or(QString());
}

// Modgate's own icon, for a shortcut to a mod without a logo.
QImage modgateIcon() {
    QImage icon(desktopIconSide, desktopIconSide, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/images/modgate.svg"));
    QPainter painter(&icon);
    renderer.render(&painter);
    return icon;
}

// The first line of a description, "|" being its line break.
QString firstLine(const std::optional<QString>& description) {
    return description.value_or(QString()).section(u'|', 0, 0).trimmed();
}

} // namespace

ModActions::ModActions(Controller& controller)
    : QObject(&controller), controller(controller),
      mainThread(std::make_shared<MainThreadQueue>(this)) {
    contextMenu = new ModContextMenu(
        controller.tableView, [this](ModContextMenu::Entry entry) { return canAct(entry); },
        [this](ModContextMenu::Entry entry) { act(entry); });
    // Delete in the table asks to remove the selected mod, as the menu's entry does.
    auto* remove = new QShortcut(QKeySequence::Delete, controller.tableView, nullptr, nullptr,
                                 Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, [this] { act(ModContextMenu::Entry::Remove); });
}

ModActions::~ModActions() {
    // A shortcut still being written reports to nobody.
    mainThread->close();
}

bool ModActions::canAct(ModContextMenu::Entry entry) const {
    const int row = controller.selectedRow();
    if (controller.locked || row < 0 || row >= controller.mods.size())
        return false;
    switch (entry) {
    case ModContextMenu::Entry::Launch:
        return controller.launchButton->isEnabled();
    case ModContextMenu::Entry::VisitWebSite:
        return showsLinkButton(controller.mods.at(row).url);
    case ModContextMenu::Entry::OpenFolder:
        return QFileInfo(selectedFolder()).isDir();
    case ModContextMenu::Entry::CreateDesktopShortcut:
        return true;
    case ModContextMenu::Entry::Remove:
        // Never the plain game; one install or removal at a time.
        return controller.mods.at(row).launchName && controller.installFlow &&
               !controller.installFlow->isRunning() && !controller.isBusy();
    }
    return false;
}

void ModActions::act(ModContextMenu::Entry entry) {
    // The menu was opened a moment ago: things may have changed since.
    if (!canAct(entry))
        return;
    switch (entry) {
    case ModContextMenu::Entry::Launch:
        controller.launchButton->click();
        break;
    case ModContextMenu::Entry::VisitWebSite:
        controller.openUrl();
        break;
    case ModContextMenu::Entry::OpenFolder:
        if (!openFolderInFileManager(selectedFolder()))
            controller.statusField->setText(
                QStringLiteral("Could not open the folder %1").arg(selectedFolder()));
        break;
    case ModContextMenu::Entry::CreateDesktopShortcut:
        createDesktopShortcut();
        break;
    case ModContextMenu::Entry::Remove:
        controller.installFlow->removeMod(controller.mods.at(controller.selectedRow()));
        break;
    }
}

QString ModActions::selectedFolder() const {
    const ModEntry& entry = controller.mods.at(controller.selectedRow());
    // Mods are the folders below the game folder.
    return entry.launchName ? gameFolderInUse() + u'/' + *entry.launchName : gameFolderInUse();
}

void ModActions::createDesktopShortcut() {
    const ModEntry& entry = controller.mods.at(controller.selectedRow());
    // The worker gets copies: the mod list belongs to this thread.
    DesktopShortcut shortcut{entry.launchName ? std::optional(unshared(*entry.launchName))
                                              : std::nullopt,
                             unshared(entry.displayName()),
                             unshared(firstLine(entry.description)),
                             unshared(QCoreApplication::applicationFilePath()),
                             unshared(gameFolderInUse()),
                             {}};
    const QString modFolder = unshared(selectedFolder());
    const QString logo = unshared(entry.logo.value_or(QString()));
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    // The logo is read from the mod's packages, which takes a while for a large one.
    detachNewThread([this, queue = mainThread, shortcut = std::move(shortcut), modFolder, logo,
                     dataHome]() mutable {
        const std::optional<QImage> picture =
            shortcut.folder ? loadModLogo(modFolder, logo) : std::nullopt;
        const ShortcutWritten written =
            writeDesktopShortcut(std::move(shortcut), picture.value_or(modgateIcon()), dataHome);
        const QString text =
            written.error
                ? QStringLiteral("Could not write the desktop shortcut: %1").arg(*written.error)
                : QStringLiteral("Desktop shortcut written to %1").arg(written.path);
        queue->perform([this, text = unshared(text)] { controller.statusField->setText(text); });
    });
}
