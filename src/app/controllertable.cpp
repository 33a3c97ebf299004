#include "app/controller.h"

#include "app/linkbuttoncell.h"

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

void Controller::tableViewWillDisplayCell(LinkButtonCell&, QStringView, int) const {}

void Controller::openUrl() {}

void Controller::setUpLinkColumn() {}
