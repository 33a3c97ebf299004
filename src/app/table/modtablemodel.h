// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <optional>

class ModTableDataSource;
class QWidget;

// Serves a data source's answers to a QTableView. Columns are identified by mod
// entry key; a new mod is one row insertion, never a reset, so the selection survives. Only a
// new list (another search) resets.
class ModTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The column's identifier (a mod entry key) under this role of headerData().
    static constexpr int IdentifierRole = Qt::UserRole + 1;

    explicit ModTableModel(ModTableDataSource& dataSource, QObject* parent = nullptr);

    // Untitled rows are muted against this widget's row colours (the view's).
    void setPaletteSource(const QWidget* widget) { paletteSource = widget; }

    // Column identifiers, in order.
    static const QStringList& columnIdentifiers();
    static int columnWithIdentifier(QStringView identifier);

    // Wraps an append to the data source's list in one row insertion.
    template <typename Append> void appendRow(Append&& append) {
        const int row = rowCount();
        beginInsertRows({}, row, row);
        append();
        endInsertRows();
    }

    // Wraps the start of a new list in the data source in one reset: another copy's mods are
    // another list, and no selection survives it.
    template <typename Replace> void replaceRows(Replace&& replace) {
        beginResetModel();
        replace();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QVariant titleData(int row, const std::optional<QString>& title, int role) const;
    QVariant linkData(const std::optional<QString>& url, int role) const;

    ModTableDataSource& dataSource;
    QPointer<const QWidget> paletteSource;
};
