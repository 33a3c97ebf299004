// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QItemSelectionModel>
#include <functional>

// A selection model that asks before every change, so mouse, keyboard, select-all and
// programmatic changes are all refused alike while the rows may not be selected.
class LockingSelectionModel : public QItemSelectionModel {
    Q_OBJECT
public:
    using ShouldSelectRow = std::function<bool(int row)>;

    LockingSelectionModel(QAbstractItemModel* model, ShouldSelectRow shouldSelectRow,
                          QObject* parent = nullptr);

    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override;
    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override;

private:
    bool mayChange(const QItemSelection& selection) const;

    ShouldSelectRow shouldSelectRow;
};
