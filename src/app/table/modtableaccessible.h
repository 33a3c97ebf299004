// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>
#include <QHash>

class QTableView;

// The accessible table of a view that draws a column with a LinkCellDelegate. Qt's own table
// cells can only toggle the selection, so a screen reader could not open a mod's page; the cells
// here also press the link button, as a click does. The rest is as Qt's own table: children are
// numbered the way the view numbers them in its focus and selection events (the corner, the
// column headers, then each row's header and cells, hidden headers included), and selecting
// goes through the view's selection model, so a locked table stays locked.
class ModTableAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ModTableAccessible(QTableView* view);
    ~ModTableAccessible() override;

    // Makes this the view's accessible interface once its link column is set up, replacing one
    // made before (naming a widget already makes one).
    static void install(QTableView* view);

    // A child's number; -1 for the row or column stands for the headers.
    int childIndex(int row, int column) const;

    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

private:
    QTableView* view() const;

    // Children are made when first asked for and keep their id while they stand.
    mutable QHash<int, QAccessible::Id> children;
};
