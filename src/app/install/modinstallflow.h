// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"
#include "modinstall/installplan.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

class InstallLock;
class MainThreadQueue;
class ModInstallHost;
class QProgressDialog;
struct PreparedInstall;

// The window's installing and removing of mods: downloads read and planned on a worker, the plan
// shown to the player, the install run on a worker with its progress shown and Cancel undoing it;
// and a mod folder taken out again after the player has confirmed. The write lock is held from
// the first read to the last write.
class ModInstallFlow : public QObject {
    Q_OBJECT
public:
    // Shows the plan; true when the player chose to install.
    using PlanDialog = std::function<bool(const InstallPlan& plan, const QString& gameFolder)>;
    // Asks the question; true when the player agreed.
    using Confirmation = std::function<bool(const QString& question)>;
    // The downloads the player picked; none when cancelled.
    using FileDialog = std::function<QStringList()>;

    explicit ModInstallFlow(ModInstallHost& host, QObject* parent = nullptr);
    ~ModInstallFlow() override;

    // Installs the downloads one after another.
    void installFiles(const QStringList& paths);
    // Asks for downloads, then installs them.
    void chooseFilesToInstall();
    // Removes the mod of a row (never the plain game's).
    void removeMod(const ModEntry& entry);
    bool isRunning() const { return running; }
    // Winds up what runs, for a window that is closing: an install is cancelled and undone (one
    // already moving its files into place finishes), downloads still waiting are dropped, and a
    // removal runs to its end. finished() follows once the worker has reported.
    void stop();

    void setPlanDialog(PlanDialog dialog) { planDialog = std::move(dialog); }
    void setConfirmation(Confirmation dialog) { confirmation = std::move(dialog); }
    void setFileDialog(FileDialog dialog) { fileDialog = std::move(dialog); }

    // The file patterns of the downloads Modgate installs.
    static QStringList downloadPatterns();

signals:
    // An install or removal has ended, however.
    void finished();

private:
    bool start(const QString& refusedWhat);
    void installNext();
    void prepared(std::shared_ptr<PreparedInstall> install, const QString& refusal);
    void installed(const QString& fileName, const QString& name, const QString& refusal,
                   bool cancelled);
    void showProgress(const QString& fileName);
    void showCancelling();
    void closeProgress();
    void end(const QString& status, bool relist, const std::optional<QString>& select);

    ModInstallHost& host;
    std::shared_ptr<MainThreadQueue> mainThread;
    std::shared_ptr<InstallLock> lock;
    std::shared_ptr<std::atomic<bool>> cancel;
    QProgressDialog* progress = nullptr;
    QStringList pending;
    QString current;
    QStringList done;
    std::optional<QString> lastModFolder;
    bool installedAny = false;
    bool running = false;
    bool stopping = false;
    PlanDialog planDialog;
    Confirmation confirmation;
    FileDialog fileDialog;
};
