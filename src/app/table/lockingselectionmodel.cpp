// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/lockingselectionmodel.h"

LockingSelectionModel::LockingSelectionModel(QAbstractItemModel* model,
                                             ShouldSelectRow shouldSelectRow, QObject* parent)
    : QItemSelectionModel(model, parent), shouldSelectRow(std::move(shouldSelectRow)) {}

bool LockingSelectionModel::mayChange(const QItemSelection& selection) const {
    // A change that names no row (a plain clear) is asked about as row -1.
    if (selection.isEmpty())
        return shouldSelectRow(-1);
    for (const QItemSelectionRange& range : selection)
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (!shouldSelectRow(row))
                return false;
    return true;
}

void LockingSelectionModel::select(const QModelIndex& index,
                                   QItemSelectionModel::SelectionFlags command) {
    select(QItemSelection(index, index), command);
}

void LockingSelectionModel::select(const QItemSelection& selection,
                                   QItemSelectionModel::SelectionFlags command) {
    if (command != QItemSelectionModel::NoUpdate && !mayChange(selection))
        return;
    QItemSelectionModel::select(selection, command);
}

void LockingSelectionModel::setCurrentIndex(const QModelIndex& index,
                                            QItemSelectionModel::SelectionFlags command) {
    if (!shouldSelectRow(index.isValid() ? index.row() : -1))
        return;
    QItemSelectionModel::setCurrentIndex(index, command);
}
