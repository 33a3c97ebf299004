// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/details/moddetailspane.h"

#include "app/details/descriptionview.h"
#include "app/details/logolabel.h"
#include "app/details/logoloader.h"
#include "app/details/modnamelabel.h"
#include "catalogue/gamelaunch.h"
#include "catalogue/moddescription.h"
#include "catalogue/weblink.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// A value to read and copy, however long: it scrolls instead of widening the window.
QLineEdit* factField(const QString& accessibleName, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFrame(false);
    field->setAccessibleName(accessibleName);
    field->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = field->palette();
    palette.setBrush(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
    return field;
}

void setFact(QLineEdit* field, const QString& text) {
    field->setText(text);
    field->setCursorPosition(0);
    field->setToolTip(text);
}

} // namespace

ModDetailsPane::ModDetailsPane(QWidget* parent)
    : QScrollArea(parent), content(new QWidget(this)), logo(new LogoLabel(content)),
      name(new ModNameLabel(content)), nothingSelected(new QLabel(tr("No mod selected."), content)),
      description(new DescriptionView(content)), facts(new QFormLayout),
      launchLine(factField(tr("Launch passes"), content)),
      gameFolder(factField(tr("Game folder"), content)),
      executable(factField(tr("Executable"), content)),
      visitWebSite(new QPushButton(tr("Visit Web Site"), content)),
      removeMod(new QPushButton(tr("Remove Mod…"), content)),
      logoLoader(
          new LogoLoader([this](const std::optional<QImage>& logo) { showLogo(logo); }, this)) {
    logo->setObjectName(QStringLiteral("modLogo"));
    logo->setAccessibleName(tr("Mod logo"));
    logo->hide();

    name->setObjectName(QStringLiteral("modName"));
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    name->setFont(bold);

    nothingSelected->setObjectName(QStringLiteral("nothingSelected"));
    nothingSelected->setAlignment(Qt::AlignCenter);

    description->setObjectName(QStringLiteral("modDescription"));
    description->setAccessibleName(tr("Mod description"));
    connect(description, &QTextBrowser::anchorClicked, this, [this](const QUrl& href) {
        const qsizetype index = descriptionLinkIndex(href.toString());
        if (index >= 0 && index < links.size() && openLink)
            openLink(links.at(index));
    });

    launchLine->setObjectName(QStringLiteral("launchLine"));
    gameFolder->setObjectName(QStringLiteral("gameFolder"));
    executable->setObjectName(QStringLiteral("executable"));
    facts->addRow(tr("Launch passes:"), launchLine);
    facts->addRow(tr("Game folder:"), gameFolder);
    facts->addRow(tr("Executable:"), executable);

    visitWebSite->setObjectName(QStringLiteral("visitWebSite"));
    visitWebSite->setAutoDefault(false);
    connect(visitWebSite, &QPushButton::clicked, this, [this] {
        if (openSelected)
            openSelected();
    });

    removeMod->setObjectName(QStringLiteral("removeMod"));
    removeMod->setAutoDefault(false);
    removeMod->setToolTip(tr("Move the mod to the trash (Delete)"));
    connect(removeMod, &QPushButton::clicked, this, [this] {
        if (removeSelected)
            removeSelected();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(visitWebSite);
    buttons->addWidget(removeMod);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(nothingSelected, 1);
    layout->addWidget(logo);
    layout->addWidget(name);
    layout->addWidget(description);
    layout->addLayout(facts);
    layout->addLayout(buttons);
    // Takes up the room below the details, so they stay together at the top.
    layout->addStretch(0);

    setWidget(content);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    // The keys scroll the pane when there is something to scroll.
    setFocusPolicy(Qt::NoFocus);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        setFocusPolicy(maximum > 0 ? Qt::StrongFocus : Qt::NoFocus);
    });
    showNothing();
}

ModDetailsPane::~ModDetailsPane() = default;

void ModDetailsPane::setWebSiteOpener(std::function<void()> open) {
    openSelected = std::move(open);
}

void ModDetailsPane::setLinkOpener(std::function<void(const QString&)> open) {
    openLink = std::move(open);
}

void ModDetailsPane::setRemover(std::function<void()> remove) {
    removeSelected = std::move(remove);
}

void ModDetailsPane::setRemoveAllowed(bool allowed) {
    removeAllowed = allowed;
    updateRemoveButton();
}

void ModDetailsPane::updateRemoveButton() {
    removeMod->setEnabled(showsMod && removeAllowed && !locked);
}

void ModDetailsPane::setLocked(bool isLocked) {
    if (isLocked == locked)
        return;
    locked = isLocked;
    updateRemoveButton();
    visitWebSite->setEnabled(hasWebSite && !locked);
    description->setEnabled(!locked);
    showDescription();
}

void ModDetailsPane::showDescription() {
    // Links take their colour when the text is set, not from the disabled palette: a locked
    // pane sets it again with its links in the disabled text's colour.
    description->document()->setDefaultStyleSheet(
        locked ? QStringLiteral("a { color: %1; }")
                     .arg(description->palette().color(QPalette::Disabled, QPalette::Text).name())
               : QString());
    description->setDescription(descriptionHtml, !links.isEmpty());
}

void ModDetailsPane::showNothing() {
    logoLoader->cancel();
    for (QWidget* part : {static_cast<QWidget*>(logo), static_cast<QWidget*>(name),
                          static_cast<QWidget*>(description), static_cast<QWidget*>(visitWebSite),
                          static_cast<QWidget*>(removeMod)})
        part->hide();
    showsMod = false;
    for (int row = 0; row < facts->rowCount(); ++row)
        facts->setRowVisible(row, false);
    nothingSelected->show();
    setTrailingRoom(false);
}

void ModDetailsPane::setTrailingRoom(bool takesRoom) {
    auto* column = static_cast<QBoxLayout*>(content->layout());
    column->setStretch(column->count() - 1, takesRoom ? 1 : 0);
}

void ModDetailsPane::forgetLogos() {
    logoLoader->clear();
}

void ModDetailsPane::showEntry(const ModEntry& entry) {
    nothingSelected->hide();
    name->setTitle(entry.displayName());
    name->show();

    const ModDescriptionLayout text = layOutModDescription(entry.description.value_or(QString()));
    links = text.links;
    descriptionHtml = text.html;
    showDescription();
    description->setVisible(entry.description && !entry.description->isEmpty());
    setTrailingRoom(true);
    verticalScrollBar()->setValue(0);

    hasWebSite = webAddressToOpen(entry.url).has_value();
    visitWebSite->setEnabled(hasWebSite && !locked);
    visitWebSite->setToolTip(entry.url.value_or(QString()));
    visitWebSite->show();
    removeMod->show();
}

void ModDetailsPane::showMod(const ModEntry& entry, const QString& modFolder) {
    showEntry(entry);
    showsMod = true;
    updateRemoveButton();
    setFact(launchLine, launchArgumentLine(entry));
    facts->setRowVisible(launchLine, true);
    facts->setRowVisible(gameFolder, false);
    facts->setRowVisible(executable, false);

    logo->setAccessibleDescription(entry.logo.value_or(QString()));
    // Never another mod's logo beside this one's name; a cached logo comes back at once.
    showLogo(std::nullopt);
    logoLoader->request(modFolder, entry.logo.value_or(QString()));
}

void ModDetailsPane::showBaseGame(const ModEntry& entry, const QString& folder,
                                  const std::optional<QString>& program) {
    showEntry(entry);
    // The game itself is never removed.
    showsMod = false;
    updateRemoveButton();
    const QString arguments = launchArgumentLine(entry);
    setFact(launchLine, arguments);
    facts->setRowVisible(launchLine, !arguments.isEmpty());
    setFact(gameFolder, folder);
    setFact(executable, program.value_or(tr("none recognised in this folder")));
    facts->setRowVisible(gameFolder, true);
    facts->setRowVisible(executable, true);

    logoLoader->cancel();
    showLogo(std::nullopt);
}

void ModDetailsPane::showLogo(const std::optional<QImage>& image) {
    logo->setLogo(image.value_or(QImage()));
    logo->setVisible(image.has_value());
}
