// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QImage>
#include <QScrollArea>
#include <QStringList>
#include <functional>
#include <optional>

class DescriptionView;
class LogoLabel;
class LogoLoader;
class ModNameLabel;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// What the game's own mods page shows of the selected mod, and a little more: its logo, name and
// description, a button for its web site, and what Launch passes to the game; for the plain game,
// the game folder in use and the program Launch starts. It lays out within the height it is
// given, and scrolls what does not fit: a large logo or a long description never takes room
// from the table above it. The description is a Tab stop only when it holds links, and the
// pane itself only when it has something to scroll.
class ModDetailsPane : public QScrollArea {
public:
    explicit ModDetailsPane(QWidget* parent = nullptr);
    ~ModDetailsPane() override;

    // Where clicks on the web-site button and on links in the description go.
    void setWebSiteOpener(std::function<void()> openSelected);
    void setLinkOpener(std::function<void(const QString& address)> openLink);

    // Where a click on Remove Mod… goes; it is enabled for a mod's row while allowed and not
    // locked.
    void setRemover(std::function<void()> removeSelected);
    void setRemoveAllowed(bool allowed);
    QPushButton* removeButton() const { return removeMod; }

    // While locked (a search or a launch under way), the web-site button and the description's
    // links look disabled, as they open nothing then.
    void setLocked(bool locked);

    void showNothing();
    // A new list: logos are read afresh, as a reloaded mod may have a new one.
    void forgetLogos();
    // A mod's row; its logo is looked for below modFolder.
    void showMod(const ModEntry& entry, const QString& modFolder);
    // The plain game's row: the copy in use and its executable, when one is recognised.
    void showBaseGame(const ModEntry& entry, const QString& gameFolder,
                      const std::optional<QString>& executable);

private:
    void showEntry(const ModEntry& entry);
    void showDescription();
    void showLogo(const std::optional<QImage>& logo);
    // Whether the space below the details grows, as it must where no description takes it.
    void setTrailingRoom(bool takesRoom);
    void updateRemoveButton();

    QWidget* content;
    LogoLabel* logo;
    ModNameLabel* name;
    QLabel* nothingSelected;
    DescriptionView* description;
    QFormLayout* facts;
    QLineEdit* launchLine;
    QLineEdit* gameFolder;
    QLineEdit* executable;
    QPushButton* visitWebSite;
    QPushButton* removeMod;
    LogoLoader* logoLoader;

    QStringList links;
    QString descriptionHtml;
    bool hasWebSite = false;
    bool locked = false;
    bool showsMod = false;
    bool removeAllowed = true;
    std::function<void()> removeSelected;
    std::function<void()> openSelected;
    std::function<void(const QString&)> openLink;
};
