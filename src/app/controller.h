// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/install/modinstallhost.h"
#include "app/table/keptselection.h"
#include "app/table/modtabledatasource.h"
#include "catalogue/modentry.h"
#include "installation/gamecopies.h"
#include "installation/gamelayout.h"
#include "installation/gamestop.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class BusyIndicator;
class GameCopyFinder;
class GameProgramLookup;
class GameSelector;
class GameLogWindow;
class LinkButtonCell;
class MainThreadQueue;
class ModDetailsPane;
class ModInstallFlow;
class ModSortModel;
class ModTableModel;
class QLabel;
class QPushButton;
class QTableView;
class VXFadeWindow;

// The launcher's one controller: owns the mod list, drives start-up, the search reports, the
// table, the game location and launching. Everything here runs on the main thread, except the
// worker bodies (findAllUnrealMods, launchThread), which only read files and queue calls back.
class Controller : public QObject,
                   public ModTableDataSource,
                   public ModTableDelegate,
                   public ModInstallHost {
    Q_OBJECT
public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    // Outlets: the window's controls, set before awakeFromNib(). The window owns them.
    BusyIndicator* busyIndicator = nullptr;
    GameSelector* gameSelector = nullptr;
    QPushButton* launchButton = nullptr;
    QPushButton* reloadButton = nullptr;
    QPushButton* showLogButton = nullptr;
    QLabel* statusField = nullptr;
    QTableView* tableView = nullptr;
    VXFadeWindow* window = nullptr;
    ModDetailsPane* detailsPane = nullptr;
    QPushButton* installButton = nullptr;
    ModInstallFlow* installFlow = nullptr;

    // Row i of the table is mods[i]; entries are only ever appended, on the main thread. A new
    // search (another copy of the game, or Reload) starts a new list: the plain game alone.
    QList<ModEntry> mods;
    bool searching = false;
    bool locked = false;
    // An install or removal is under way.
    bool installing = false;

    // Makes the controller the table's data source and delegate; done once with the outlets.
    void connectOutlets();

    // Start-up: the window shows at once while the copies of the game are looked for on a worker.
    // Where none is found the folder dialog follows, and cancelling it ends the application.
    void awakeFromNib();
    // True once the application was told to end (the location dialog was cancelled).
    bool hasTerminated() const { return terminated; }

    // Search reports, queued by the search worker.
    void modSearchBegan();
    void newUnrealModWasFound(ModEntry entry);
    void modSearchEnded();
    void tableViewSelectionDidChange();

    // The table's data source and delegate.
    int numberOfRowsInTableView() const override;
    std::optional<QString> tableViewObjectValueForTableColumn(QStringView column,
                                                              int row) const override;
    void tableViewSetObjectValue(const QVariant& value, QStringView column, int row) override;
    const ModEntry& modAtRow(int row) const override { return mods.at(row); }
    bool tableViewShouldSelectRow(int row) const override;
    void tableViewWillDisplayCell(LinkButtonCell& cell, QStringView column, int row) const override;
    void openUrl();
    // Opens a web page as the link button does: the same rules, the same log line, and nothing
    // while locked.
    void openWebAddress(const std::optional<QString>& url);
    void setUpLinkColumn();
    // Shows the selected row in the details pane.
    void showSelectedModDetails();

    // Launching.
    void launch();
    // From a press of Launch until the game has exited, failed to start or was not started (the
    // copy found again instead of a stored one that is gone lacks the mod, or none was chosen).
    bool isLaunching() const { return launching; }
    void stopIndicator();
    // The game has exited; why, where it stopped abnormally.
    void utClosed(const std::optional<GameStop>& stop = std::nullopt);
    void showLog();
    // The pause between starting the game and closing the window; tests shorten it.
    void setLaunchPause(std::chrono::milliseconds pause) { launchPause = pause; }

    // The search worker's body. Static: the controller may be gone while a worker still runs, so
    // workers only ever name it inside calls they queue, which the closed queue then drops.
    // Reports of a search other than the latest (generation) are dropped.
    static void findAllUnrealMods(Controller* controller,
                                  const std::shared_ptr<MainThreadQueue>& queue, int generation);

    // The copies of the game: the one in use, and the others to choose from.
    void reload();
    void useGameCopy(const QString& gamePath);
    void chooseOtherFolder();

    // Game location.
    void setUnrealLocation();
    bool panelIsValidFilename(const QString& path);
    // Runs the modal location dialog; the chosen bundle path, or absent when cancelled.
    using LocationDialog = std::function<std::optional<QString>(Controller&)>;
    void setLocationDialog(LocationDialog dialog) { locationDialog = std::move(dialog); }
    // Copies of the game are looked for in the current user's places (findGameCopies), with these
    // folders tried after the game logs instead of the installers' ones.
    void setWellKnownGameFolders(QStringList folders);

    // Rows here are the list's (mods), whatever the order the table shows them in; -1 for none.
    int selectedRow() const;

    // What installing mods needs of the window.
    QString gameFolderInUse() const override;
    bool isBusy() const override { return launching || searching || locked; }
    void setInstalling(bool on) override;
    void showStatus(const QString& text) override;
    void relistSelecting(const std::optional<QString>& modFolder) override;
    QWidget* dialogParent() const override;

signals:
    // A search has ended and its mods are all listed.
    void searchEnded();

private:
    // Selects a row of the list, also while the selection is locked: the player's row found again.
    void selectRow(int row);
    void terminate();

    // --- launching ---
    struct LaunchRequest {
        ModEntry entry;
        GameLayout game;
        std::chrono::milliseconds pause;
        std::shared_ptr<MainThreadQueue> mainThread;
        QStringList gameLogs;
    };
    // Starts the row's mod in the copy of the game laid out so, saying text meanwhile.
    void startGame(int row, const GameLayout& layout, const QString& text);
    // Launch goes on once the stored copy, gone, has been looked for again (see relocateGame).
    void launchRelocated(int row, const std::optional<QString>& copy, const QStringList& copies);
    static void launchThread(Controller* controller, LaunchRequest request);
    void launchFailed(const QString& executable, const QString& reason);
    std::chrono::milliseconds launchPause{5000};
    bool launching = false;
    // Why the last game stopped, while the status line says so.
    std::optional<GameStop> lastStop;
    GameLogWindow* logWindow = nullptr;

    // --- game location ---
    GameCopyPlaces gameCopyPlaces() const;
    std::optional<QString> askForGameFolder();
    // Stores a copy of the game where none is stored: false when the player cancelled the dialog.
    bool locateGame();
    LocationDialog locationDialog;
    std::optional<GameCopyPlaces> copyPlaces;

    // --- copies of the game ---
    void connectGameCopyControls();
    // Start-up: the stored copy is searched once the worker has found it there; where it is not,
    // the first copy found is used, else the player is asked.
    void locateAtStartUp();
    void startUpCopiesFound(const QStringList& copies);
    // Looks for the copies again, on a worker; the selector fills when they arrive.
    void lookForGameCopies();
    void showGameCopies(const QStringList& copies);
    void startSearch();
    void updateGameControls();
    int searchGeneration = 0;
    bool relistAfterGame = false;
    // What the status line says once the search has ended, where not "".
    QString statusAfterSearch;
    GameCopyFinder* copyFinder;
    GameProgramLookup* gamePrograms;
    QStringList foundCopies;
    // The copy in use has been found at start-up (or chosen since).
    bool located = false;

    // --- table ---
    ModTableModel* tableModel = nullptr;
    ModSortModel* sortModel = nullptr;
    // The row selected before a new search, selected again when it reappears.
    KeptSelection keptSelection;

    std::shared_ptr<MainThreadQueue> mainThread;
    bool terminated = false;
    bool quitWhenClosed = false;
};
