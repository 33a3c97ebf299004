// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"

#include "app/linkbuttoncell.h"
#include "app/linkcelldelegate.h"
#include "app/modtableaccessible.h"
#include "app/modtablemodel.h"
#include "app/weblink.h"
#include "support/systemservices.h"
#include "window/vxfadewindow.h"

#include <QTableView>
#include <QUrl>

int Controller::numberOfRowsInTableView() const {
    return int(mods.size());
}

std::optional<QString> Controller::tableViewObjectValueForTableColumn(QStringView column,
                                                                      int row) const {
    if (row < 0 || row >= mods.size())
        return std::nullopt;
    return mods.at(row).value(column);
}

void Controller::tableViewSetObjectValue(const QVariant&, QStringView, int) {}

bool Controller::tableViewShouldSelectRow(int) const {
    return !locked;
}

void Controller::tableViewWillDisplayCell(LinkButtonCell& cell, QStringView column, int row) const {
    if (column != u"url")
        return;
    // Both images are set on every call: the one cell draws all rows.
    if (!showsLinkButton(tableViewObjectValueForTableColumn(u"url", row))) {
        cell.setImage(std::nullopt);
        cell.setAlternateImage(std::nullopt);
        return;
    }
    cell.setAlternateImage(QStringLiteral("urlPressed"));
    const bool selectedAndFocused =
        row == selectedRow() && window->isActiveWindow() && tableView->hasFocus();
    cell.setImage(selectedAndFocused ? QStringLiteral("urlSelected") : QStringLiteral("url"));
}

void Controller::openUrl() {
    if (locked)
        return;
    // The selected row's page, whichever row's button was clicked.
    const auto address =
        webAddressToOpen(tableViewObjectValueForTableColumn(u"url", selectedRow()));
    if (!address)
        return;
    const QUrl url(*address, QUrl::StrictMode);
    if (url.isValid())
        openUrlInBrowser(url);
    systemLog(*address);
}

void Controller::setUpLinkColumn() {
    const int column = ModTableModel::columnWithIdentifier(u"url");
    if (column < 0)
        return;
    auto cell = std::make_unique<LinkButtonCell>();
    cell->setTitle(QStringLiteral(""));
    cell->setImagePosition(LinkButtonCell::ImagePosition::ImageOnly);
    cell->setBezelStyle(LinkButtonCell::BezelStyle::RegularSquare);
    cell->setButtonType(LinkButtonCell::ButtonType::MomentaryChange);
    cell->setImage(QStringLiteral("url"));
    cell->setAlternateImage(QStringLiteral("urlPressed"));
    cell->setBordered(false);
    cell->setAction([this] { openUrl(); });
    // The column's delegate owns the cell from here on.
    tableView->setItemDelegateForColumn(column,
                                        new LinkCellDelegate(*this, std::move(cell), tableView));
    // Screen readers get link cells they can press.
    ModTableAccessible::install(tableView);
}
