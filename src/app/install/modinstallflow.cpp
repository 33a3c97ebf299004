// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/install/modinstallflow.h"

#include "app/install/installplandialog.h"
#include "app/install/modinstallhost.h"
#include "installation/desktopshortcut.h"
#include "modinstall/installlock.h"
#include "modinstall/installpreparation.h"
#include "modinstall/installrecord.h"
#include "modinstall/installtransaction.h"
#include "modinstall/modremoval.h"
#include "support/mainthreadqueue.h"
#include "support/threadhandover.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

namespace {

// The install Modgate made of the mod in this folder: the one whose files lie in it.
std::optional<InstallRecord> recordOfFolder(const QString& gameFolder, const QString& folder) {
    const QString prefix = folder + u'/';
    for (const InstallRecord& record : readRecords(defaultRecordsFolder(), gameFolder))
        for (const RecordedFile& file : record.files)
            if (file.path.startsWith(prefix))
                return record;
    return std::nullopt;
}

constexpr int progressSteps = 1000;

} // namespace

ModInstallFlow::ModInstallFlow(ModInstallHost& host, QObject* parent)
    : QObject(parent), host(host), mainThread(std::make_shared<MainThreadQueue>(this)) {
    planDialog = [&host](const InstallPlan& plan, const QString& gameFolder) {
        InstallPlanDialog dialog(plan, gameFolder, host.dialogParent());
        return dialog.exec() == QDialog::Accepted;
    };
    confirmation = [&host](const QString& question) {
        return QMessageBox::question(host.dialogParent(), QStringLiteral("Remove Mod"), question,
                                     QMessageBox::Yes | QMessageBox::Cancel,
                                     QMessageBox::Cancel) == QMessageBox::Yes;
    };
    fileDialog = [&host] {
        const QString filter =
            QStringLiteral("Mod downloads (%1);;All files (*)").arg(downloadPatterns().join(u' '));
        return QFileDialog::getOpenFileNames(host.dialogParent(), QStringLiteral("Install Mod"),
                                             QString(), filter);
    };
}

ModInstallFlow::~ModInstallFlow() {
    // A worker still running reports to nobody; it keeps the lock until it is done writing.
    mainThread->close();
    if (cancel)
        cancel->store(true);
}

QStringList ModInstallFlow::downloadPatterns() {
    return {QStringLiteral("*.zip"),     QStringLiteral("*.7z"),      QStringLiteral("*.rar"),
            QStringLiteral("*.tar"),     QStringLiteral("*.tar.gz"),  QStringLiteral("*.tgz"),
            QStringLiteral("*.tar.bz2"), QStringLiteral("*.tbz2"),    QStringLiteral("*.tar.xz"),
            QStringLiteral("*.txz"),     QStringLiteral("*.tar.zst"), QStringLiteral("*.tzst"),
            QStringLiteral("*.umod"),    QStringLiteral("*.ut2mod"),  QStringLiteral("*.ut4mod"),
            QStringLiteral("*.exe")};
}

bool ModInstallFlow::start(const QString& refusedWhat) {
    if (running) {
        host.showStatus(
            QStringLiteral("Another install or removal is under way: %1 waits.").arg(refusedWhat));
        return false;
    }
    if (host.isBusy()) {
        host.showStatus(QStringLiteral("Not now: %1 waits until the mods are listed and no game "
                                       "is starting or running.")
                            .arg(refusedWhat));
        return false;
    }
    auto held = std::make_shared<InstallLock>();
    if (!held->isHeld()) {
        host.showStatus(
            QStringLiteral("Could not change %1: %2").arg(refusedWhat, held->refusal()));
        return false;
    }
    lock = std::move(held);
    running = true;
    host.setInstalling(true);
    return true;
}

void ModInstallFlow::chooseFilesToInstall() {
    if (running)
        return;
    const QStringList paths = fileDialog();
    if (!paths.isEmpty())
        installFiles(paths);
}

void ModInstallFlow::installFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    QStringList names;
    for (const QString& path : paths)
        names << QFileInfo(path).fileName();
    if (!start(names.join(QStringLiteral(", "))))
        return;
    pending = paths;
    done.clear();
    lastModFolder.reset();
    installedAny = false;
    installNext();
}

void ModInstallFlow::installNext() {
    if (pending.isEmpty()) {
        end(done.join(u' '), installedAny, lastModFolder);
        return;
    }
    current = pending.takeFirst();
    const QString game = host.gameFolderInUse();
    host.showStatus(QStringLiteral("Reading %1...").arg(QFileInfo(current).fileName()));
    cancel = std::make_shared<std::atomic<bool>>(false);
    detachNewThread([this, queue = mainThread, held = lock, stop = cancel, path = unshared(current),
                     game = unshared(game)]() mutable {
        // What a killed Modgate left half done is undone before anything else is written.
        recoverInterruptedInstalls(game);
        auto result = prepareInstall(path, game, stop.get());
        std::shared_ptr<PreparedInstall> install;
        QString refusal;
        if (auto* made = std::get_if<std::unique_ptr<PreparedInstall>>(&result))
            install = std::move(*made);
        else
            refusal = std::get<InstallRefusal>(result).reason;
        // The main thread holds the lock from here, so the next install may take it at once.
        held.reset();
        queue->perform([this, install = std::move(install), refusal]() mutable {
            prepared(std::move(install), refusal);
        });
    });
}

void ModInstallFlow::prepared(std::shared_ptr<PreparedInstall> install, const QString& refusal) {
    const QString fileName = QFileInfo(current).fileName();
    if (!install) {
        done << QStringLiteral("Could not install %1: %2").arg(fileName, refusal);
        installNext();
        return;
    }
    // Nothing is installed for a window that is closing, also when it began closing meanwhile.
    if (stopping || !planDialog(install->plan, install->gameFolder) || stopping) {
        // Its scratch folder goes while the lock is held.
        install.reset();
        done << QStringLiteral("%1 was not installed: nothing changed.").arg(fileName);
        installNext();
        return;
    }
    showProgress(fileName);
    InstallOptions options;
    options.consentToReplace = true; // the plan dialog said what it replaces
    options.cancel = cancel.get();
    options.sourceDigest = install->digest;
    options.progress = [queue = mainThread, this](qint64 bytes, qint64 total) {
        queue->perform([this, bytes, total] {
            if (progress && total > 0 && !cancel->load())
                progress->setValue(int(qMin<qint64>(bytes, total) * progressSteps / total));
        });
    };
    detachNewThread([this, queue = mainThread, held = lock, stop = cancel, install,
                     options = std::move(options), fileName = unshared(fileName)]() mutable {
        auto result = installMod(install->gameFolder, *install->source, install->plan, options);
        const std::optional<QString> modFolder = unshared(install->plan.modFolder);
        // The scratch folder goes, then the lock, before the window hears of it.
        install.reset();
        held.reset();
        QString name, refusal;
        if (const auto* record = std::get_if<InstallRecord>(&result))
            name = unshared(record->name);
        else
            refusal = unshared(std::get<InstallRefusal>(result).reason);
        const bool cancelled = stop->load();
        queue->perform([this, fileName, name, refusal, cancelled, modFolder] {
            if (refusal.isEmpty()) {
                installedAny = true;
                lastModFolder = modFolder;
            }
            installed(fileName, name, refusal, cancelled);
        });
    });
}

void ModInstallFlow::installed(const QString& fileName, const QString& name, const QString& refusal,
                               bool cancelled) {
    closeProgress();
    if (refusal.isEmpty())
        done << QStringLiteral("Installed %1.").arg(name);
    else if (cancelled)
        done << QStringLiteral("Installing %1 was cancelled: nothing changed.").arg(fileName);
    else
        done << QStringLiteral("Could not install %1: %2").arg(fileName, refusal);
    installNext();
}

void ModInstallFlow::showProgress(const QString& fileName) {
    progress = new QProgressDialog(QStringLiteral("Installing %1...").arg(fileName),
                                   QStringLiteral("Cancel"), 0, progressSteps, host.dialogParent());
    progress->setObjectName(QStringLiteral("installProgress"));
    progress->setWindowTitle(QStringLiteral("Install Mod"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(500);
    // The install undoes what it did so far.
    connect(progress, &QProgressDialog::canceled, this, [this] { showCancelling(); });
    progress->setValue(0);
}

void ModInstallFlow::showCancelling() {
    cancel->store(true);
    const QString text = QStringLiteral("Cancelling...");
    if (!progress) {
        host.showStatus(text);
        return;
    }
    // Shown again after Cancel has hidden it, until the install has undone its writes; a busy bar,
    // as undoing reports no progress.
    progress->setLabelText(text);
    progress->setRange(0, 0);
    if (auto* button = progress->findChild<QPushButton*>())
        button->setEnabled(false);
    progress->show();
}

void ModInstallFlow::stop() {
    if (!running || stopping)
        return;
    stopping = true;
    pending.clear();
    // Only an install has something to cancel; a removal is left to end.
    if (cancel)
        showCancelling();
}

void ModInstallFlow::closeProgress() {
    if (!progress)
        return;
    progress->disconnect(this);
    progress->hide();
    progress->deleteLater();
    progress = nullptr;
}

void ModInstallFlow::end(const QString& status, bool relist, const std::optional<QString>& select) {
    lock.reset();
    cancel.reset();
    running = false;
    const bool closing = std::exchange(stopping, false);
    host.setInstalling(false);
    // Whatever was installed or removed shows at once, unless the window is closing; the status
    // outlasts the search.
    if (relist && !closing)
        host.relistSelecting(select);
    host.showStatus(status);
    emit finished();
}

void ModInstallFlow::removeMod(const ModEntry& entry) {
    if (!entry.launchName)
        return;
    const QString game = host.gameFolderInUse();
    const QString folder = *entry.launchName;
    const QString name = entry.displayName();
    const std::optional<InstallRecord> record = recordOfFolder(game, folder);
    const QString question =
        record ? QStringLiteral("Remove %1? The %2 file(s) Modgate installed go to the trash where "
                                "they are still as installed; files changed since stay, and the "
                                "files it replaced come back.")
                     .arg(name)
                     .arg(record->files.size())
               : QStringLiteral("Remove %1? Modgate did not install it: the whole folder %2 goes "
                                "to the trash.")
                     .arg(name, game + u'/' + folder);
    if (!confirmation(question) || !start(name))
        return;
    host.showStatus(QStringLiteral("Removing %1...").arg(name));
    detachNewThread(
        [this, queue = mainThread, held = lock, game = unshared(game), folder = unshared(folder),
         name = unshared(name),
         recordName = record ? std::optional(unshared(record->name)) : std::nullopt]() mutable {
            QString status;
            if (recordName) {
                const auto removal = removeInstall(game, *recordName);
                if (const auto* refusal = std::get_if<InstallRefusal>(&removal)) {
                    status = QStringLiteral("Could not remove %1: %2").arg(name, refusal->reason);
                } else {
                    const RemovalResult& result = std::get<RemovalResult>(removal);
                    status = QStringLiteral("Removed %1.").arg(name);
                    if (!result.changed.isEmpty())
                        status += QStringLiteral(" Kept %1 file(s) changed since: %2.")
                                      .arg(result.changed.size())
                                      .arg(result.changed.join(QStringLiteral(", ")));
                    if (!result.problems.isEmpty())
                        status += u' ' + result.problems.join(u' ');
                }
            } else {
                const auto removal = removeModFolder(game, folder);
                status = std::holds_alternative<QString>(removal)
                             ? QStringLiteral("Removed %1.").arg(name)
                             : QStringLiteral("Could not remove %1: %2")
                                   .arg(name, std::get<InstallRefusal>(removal).reason);
            }
            // Its desktop shortcut would start a mod that is gone.
            if (status.startsWith(QStringLiteral("Removed")))
                removeDesktopShortcut(folder);
            held.reset();
            queue->perform([this, status = unshared(status)] { end(status, true, std::nullopt); });
        });
}
