// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSortFilterProxyModel>

class ModTableDataSource;

// The mod table's rows in the order the player reads them (listsBefore: the plain game first,
// then by name), over a model that keeps the order the mods were found in. A mod found during a
// search is inserted into its place, so a selected row stays on its mod.
class ModSortModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit ModSortModel(const ModTableDataSource& dataSource, QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    const ModTableDataSource& dataSource;
};

// The data source's row behind an index of a view's model, through any proxies between them; -1
// for an invalid index.
int sourceRowOf(QModelIndex index);
