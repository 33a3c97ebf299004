// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/modsortmodel.h"

#include "app/table/modtabledatasource.h"
#include "catalogue/modorder.h"

ModSortModel::ModSortModel(const ModTableDataSource& dataSource, QObject* parent)
    : QSortFilterProxyModel(parent), dataSource(dataSource) {
    setDynamicSortFilter(true);
    sort(0, Qt::AscendingOrder);
}

bool ModSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const ModEntry& a = dataSource.modAtRow(left.row());
    const ModEntry& b = dataSource.modAtRow(right.row());
    // Entries alike keep the order they were found in.
    if (listsBefore(a, b))
        return true;
    return !listsBefore(b, a) && left.row() < right.row();
}

int sourceRowOf(QModelIndex index) {
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model()))
        index = proxy->mapToSource(index);
    return index.isValid() ? index.row() : -1;
}
