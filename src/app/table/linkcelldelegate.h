// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <memory>

class ModTableDataSource;
class ModTableDelegate;
class LinkButtonCell;
class QAbstractItemView;

// Draws and tracks the link column with its one button cell. The table's delegate dresses the cell
// before each row is drawn. A press shows the pressed look and lets the view select the row as
// usual; a release over the same cell performs the cell's action. The view's viewport is watched
// because a release over another cell or outside the view never reaches this delegate. The data
// source is asked about its own rows, whatever proxy sorts them for the view.
class LinkCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    LinkCellDelegate(const ModTableDataSource& dataSource, const ModTableDelegate& tableDelegate,
                     std::unique_ptr<LinkButtonCell> cell, QAbstractItemView* view);
    ~LinkCellDelegate() override;

    LinkButtonCell& cell() const { return *linkCell; }
    // Whether this cell is drawn pressed now.
    bool isPressed(const QModelIndex& index) const;
    // Whether the cell shows a button: its row has a long enough url.
    bool hasButton(const QModelIndex& index) const;
    // What a click on the cell's button does, for a click that comes without a mouse: the view
    // selects the row where it may, then the button's action runs.
    void click(const QModelIndex& index);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isOverPressedCell(const QPoint& viewportPosition) const;
    void setPressedInside(bool inside);
    void endPress();
    void forgetPress();

    const ModTableDataSource& dataSource;
    const ModTableDelegate& tableDelegate;
    std::unique_ptr<LinkButtonCell> linkCell;
    // The view is our parent and outlives us; the viewport is only compared against, since it
    // can still send events while the view is being torn down.
    QAbstractItemView* view;
    const QObject* viewport;
    QPersistentModelIndex pressedIndex;
    bool pressedInside = false;
};
