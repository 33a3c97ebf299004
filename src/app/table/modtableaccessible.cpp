// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/modtableaccessible.h"

#include "app/table/linkcelldelegate.h"

#include <QHeaderView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <QWindow>
#include <memory>
#include <optional>

namespace {

LinkCellDelegate* linkDelegate(const QTableView& view, int column) {
    return qobject_cast<LinkCellDelegate*>(view.itemDelegateForColumn(column));
}

QAccessibleInterface* tableFactory(const QString&, QObject* object) {
    auto* view = qobject_cast<QTableView*>(object);
    const QAbstractItemModel* model = view ? view->model() : nullptr;
    for (int column = 0; model && column < model->columnCount(); ++column)
        if (linkDelegate(*view, column))
            return new ModTableAccessible(view);
    return nullptr;
}

// What every child of the table has in common: a place in it, no object or children of its own.
class TableChild : public QAccessibleInterface {
public:
    explicit TableChild(QTableView* view) : view(view) {}

    const QTableView* tableView() const { return view; }
    // -1 for the row or the column of a header.
    virtual int tableRow() const = 0;
    virtual int tableColumn() const = 0;

    bool isValid() const override { return view && view->model(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view ? view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(view);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QPointer<QTableView> view;
};

// The corner (no orientation) or a section of a header, named as the model names the section.
class HeaderCell : public TableChild {
public:
    HeaderCell(QTableView* view, std::optional<Qt::Orientation> orientation, int section)
        : TableChild(view), orientation(orientation), section(section) {}

    int tableRow() const override { return orientation == Qt::Vertical ? section : -1; }
    int tableColumn() const override { return orientation == Qt::Horizontal ? section : -1; }

    bool isValid() const override {
        if (!TableChild::isValid() || !orientation)
            return TableChild::isValid();
        const QAbstractItemModel* model = view->model();
        return section < (*orientation == Qt::Horizontal ? model->columnCount(view->rootIndex())
                                                         : model->rowCount(view->rootIndex()));
    }
    QString text(QAccessible::Text type) const override {
        if (type != QAccessible::Name || !orientation || !isValid())
            return {};
        return view->model()->headerData(section, *orientation).toString();
    }
    QRect rect() const override {
        const QHeaderView* header = headerView();
        if (!header || !isValid())
            return {};
        const QPoint origin = header->mapToGlobal(QPoint(0, 0));
        const int position = header->sectionPosition(section);
        const int size = header->sectionSize(section);
        return *orientation == Qt::Horizontal
                   ? QRect(origin.x() + position, origin.y(), size, header->height())
                   : QRect(origin.x(), origin.y() + position, header->width(), size);
    }
    QAccessible::Role role() const override {
        if (!orientation)
            return QAccessible::Pane;
        return *orientation == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (const QHeaderView* header = headerView()) {
            state.invisible = !header->isVisible();
            state.disabled = !header->isEnabled();
        }
        return state;
    }

private:
    const QHeaderView* headerView() const {
        if (!view || !orientation)
            return nullptr;
        return *orientation == Qt::Horizontal ? view->horizontalHeader() : view->verticalHeader();
    }

    std::optional<Qt::Orientation> orientation;
    int section;
};

// A cell of the model, named and described by its model roles. Toggle selects or unselects its
// row, as in Qt's own table of rows; a link cell with a button can also be pressed.
class Cell : public TableChild,
             public QAccessibleTableCellInterface,
             public QAccessibleActionInterface {
public:
    Cell(QTableView* view, const QModelIndex& index) : TableChild(view), index(index) {}

    int tableRow() const override { return index.row(); }
    int tableColumn() const override { return index.column(); }

    bool isValid() const override { return TableChild::isValid() && index.isValid(); }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    QString text(QAccessible::Text type) const override {
        if (!isValid())
            return {};
        if (type == QAccessible::Description)
            return index.data(Qt::AccessibleDescriptionRole).toString();
        if (type != QAccessible::Name)
            return {};
        const QString name = index.data(Qt::AccessibleTextRole).toString();
        return name.isEmpty() ? index.data(Qt::DisplayRole).toString() : name;
    }
    QRect rect() const override {
        const QRect area = isValid() ? view->visualRect(index) : QRect();
        return area.isNull() ? QRect() : area.translated(view->viewport()->mapToGlobal(QPoint()));
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.invisible = !QRect(view->mapToGlobal(QPoint()), view->size()).intersects(rect());
        state.selected = isSelected();
        state.focused = index == view->currentIndex();
        const Qt::ItemFlags flags = index.flags();
        if (flags & Qt::ItemIsSelectable) {
            state.selectable = state.focusable = true;
            state.multiSelectable = view->selectionMode() == QAbstractItemView::MultiSelection;
            state.extSelectable = view->selectionMode() == QAbstractItemView::ExtendedSelection;
        }
        state.editable = bool(flags & Qt::ItemIsEditable);
        return state;
    }

    bool isSelected() const override {
        return isValid() && view->selectionModel() && view->selectionModel()->isSelected(index);
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        return headerCell(-1, index.column());
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        return headerCell(index.row(), -1);
    }
    int columnIndex() const override { return index.column(); }
    int rowIndex() const override { return index.row(); }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    QStringList actionNames() const override {
        QStringList names;
        if (const LinkCellDelegate* link = linkOfCell(); link && link->hasButton(index))
            names.append(pressAction());
        names.append(toggleAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (!isValid())
            return;
        if (name == pressAction()) {
            // The click's own path, so a locked table opens nothing here either.
            if (LinkCellDelegate* link = linkOfCell())
                link->click(index);
        } else if (name == toggleAction()) {
            QAccessibleTableInterface* rows = table() ? table()->tableInterface() : nullptr;
            if (rows && isSelected())
                rows->unselectRow(index.row());
            else if (rows)
                rows->selectRow(index.row());
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    LinkCellDelegate* linkOfCell() const {
        return isValid() ? linkDelegate(*view, index.column()) : nullptr;
    }
    QList<QAccessibleInterface*> headerCell(int row, int column) const {
        const auto* owner = dynamic_cast<const ModTableAccessible*>(table());
        QAccessibleInterface* header =
            owner ? owner->child(owner->childIndex(row, column)) : nullptr;
        return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
    }

    QPersistentModelIndex index;
};

} // namespace

ModTableAccessible::ModTableAccessible(QTableView* view)
    : QAccessibleWidget(view, QAccessible::Table) {}

ModTableAccessible::~ModTableAccessible() {
    for (const QAccessible::Id id : std::as_const(children))
        QAccessible::deleteAccessibleInterface(id);
}

void ModTableAccessible::install(QTableView* view) {
    QAccessible::installFactory(tableFactory);
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(view);
    if (made && !dynamic_cast<ModTableAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

QTableView* ModTableAccessible::view() const {
    return static_cast<QTableView*>(widget());
}

int ModTableAccessible::childIndex(int row, int column) const {
    return (row + 1) * (columnCount() + 1) + column + 1;
}

void* ModTableAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int ModTableAccessible::childCount() const {
    return view()->model() ? (rowCount() + 1) * (columnCount() + 1) : 0;
}

QAccessibleInterface* ModTableAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto known = children.constFind(index); known != children.cend())
        return QAccessible::accessibleInterface(*known);
    const int columns = columnCount() + 1;
    const int row = index / columns - 1;
    const int column = index % columns - 1;
    std::unique_ptr<TableChild> made;
    if (row >= 0 && column >= 0)
        made = std::make_unique<Cell>(view(),
                                      view()->model()->index(row, column, view()->rootIndex()));
    else if (row >= 0)
        made = std::make_unique<HeaderCell>(view(), Qt::Vertical, row);
    else if (column >= 0)
        made = std::make_unique<HeaderCell>(view(), Qt::Horizontal, column);
    else
        made = std::make_unique<HeaderCell>(view(), std::nullopt, -1);
    // The accessibility cache owns it from here on.
    const QAccessible::Id id = QAccessible::registerAccessibleInterface(made.release());
    children.insert(index, id);
    return QAccessible::accessibleInterface(id);
}

int ModTableAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* ours = dynamic_cast<const TableChild*>(child);
    if (!ours || ours->tableView() != view() || !ours->isValid())
        return -1;
    return childIndex(ours->tableRow(), ours->tableColumn());
}

QAccessibleInterface* ModTableAccessible::childAt(int x, int y) const {
    const QModelIndex index = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() ? child(childIndex(index.row(), index.column())) : nullptr;
}

QAccessibleInterface* ModTableAccessible::focusChild() const {
    const QModelIndex current = view()->currentIndex();
    return current.isValid() ? child(childIndex(current.row(), current.column())) : nullptr;
}

QAccessibleInterface* ModTableAccessible::cellAt(int row, int column) const {
    const QAbstractItemModel* model = view()->model();
    if (!model || !model->hasIndex(row, column, view()->rootIndex()))
        return nullptr;
    return child(childIndex(row, column));
}

int ModTableAccessible::selectedCellCount() const {
    const QItemSelectionModel* selection = view()->selectionModel();
    return selection ? int(selection->selectedIndexes().size()) : 0;
}

QList<QAccessibleInterface*> ModTableAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    if (const QItemSelectionModel* selection = view()->selectionModel())
        for (const QModelIndex& index : selection->selectedIndexes())
            cells.append(child(childIndex(index.row(), index.column())));
    return cells;
}

QString ModTableAccessible::columnDescription(int column) const {
    const QAbstractItemModel* model = view()->model();
    return model ? model->headerData(column, Qt::Horizontal).toString() : QString();
}

QString ModTableAccessible::rowDescription(int row) const {
    const QAbstractItemModel* model = view()->model();
    return model ? model->headerData(row, Qt::Vertical).toString() : QString();
}

int ModTableAccessible::columnCount() const {
    const QAbstractItemModel* model = view()->model();
    return model ? model->columnCount(view()->rootIndex()) : 0;
}

int ModTableAccessible::rowCount() const {
    const QAbstractItemModel* model = view()->model();
    return model ? model->rowCount(view()->rootIndex()) : 0;
}

QList<int> ModTableAccessible::selectedColumns() const {
    QList<int> columns;
    if (const QItemSelectionModel* selection = view()->selectionModel())
        for (const QModelIndex& index : selection->selectedColumns())
            columns.append(index.column());
    return columns;
}

QList<int> ModTableAccessible::selectedRows() const {
    QList<int> rows;
    if (const QItemSelectionModel* selection = view()->selectionModel())
        for (const QModelIndex& index : selection->selectedRows())
            rows.append(index.row());
    return rows;
}

bool ModTableAccessible::isColumnSelected(int column) const {
    const QItemSelectionModel* selection = view()->selectionModel();
    return selection && selection->isColumnSelected(column, view()->rootIndex());
}

bool ModTableAccessible::isRowSelected(int row) const {
    const QItemSelectionModel* selection = view()->selectionModel();
    return selection && selection->isRowSelected(row, view()->rootIndex());
}

bool ModTableAccessible::selectRow(int row) {
    QItemSelectionModel* selection = view()->selectionModel();
    const QAbstractItemModel* model = view()->model();
    if (!selection || !model || !model->hasIndex(row, 0, view()->rootIndex()) ||
        view()->selectionMode() == QAbstractItemView::NoSelection)
        return false;
    // In a single selection the row takes the place of the one selected, as with the mouse. The
    // selection model may refuse either.
    const auto command = view()->selectionMode() == QAbstractItemView::SingleSelection
                             ? QItemSelectionModel::ClearAndSelect
                             : QItemSelectionModel::Select;
    selection->select(model->index(row, 0, view()->rootIndex()),
                      command | QItemSelectionModel::Rows);
    return isRowSelected(row);
}

bool ModTableAccessible::unselectRow(int row) {
    QItemSelectionModel* selection = view()->selectionModel();
    // Neither does a single selection get emptied row by row in Qt's own tables.
    if (!selection || view()->selectionMode() == QAbstractItemView::SingleSelection ||
        !isRowSelected(row))
        return false;
    selection->select(view()->model()->index(row, 0, view()->rootIndex()),
                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return !isRowSelected(row);
}

void ModTableAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
    // Children follow their cells and sections to their new numbers; those gone are deleted.
    QHash<int, QAccessible::Id> kept;
    for (const QAccessible::Id id : std::as_const(children)) {
        const auto* child = dynamic_cast<const TableChild*>(QAccessible::accessibleInterface(id));
        if (child && child->isValid())
            kept.insert(childIndex(child->tableRow(), child->tableColumn()), id);
        else
            QAccessible::deleteAccessibleInterface(id);
    }
    children = kept;
}
