// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/linkcelldelegate.h"

#include "app/table/linkbuttoncell.h"
#include "app/table/modsortmodel.h"
#include "app/table/modtabledatasource.h"
#include "app/table/modtablemodel.h"
#include "catalogue/weblink.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {

QString columnIdentifier(const QModelIndex& index) {
    return index.model()
        ->headerData(index.column(), Qt::Horizontal, ModTableModel::IdentifierRole)
        .toString();
}

} // namespace

LinkCellDelegate::LinkCellDelegate(const ModTableDataSource& dataSource,
                                   const ModTableDelegate& tableDelegate,
                                   std::unique_ptr<LinkButtonCell> cell, QAbstractItemView* view)
    : QStyledItemDelegate(view), dataSource(dataSource), tableDelegate(tableDelegate),
      linkCell(std::move(cell)), view(view), viewport(view->viewport()) {
    view->viewport()->installEventFilter(this);
}

LinkCellDelegate::~LinkCellDelegate() = default;

bool LinkCellDelegate::isPressed(const QModelIndex& index) const {
    return pressedInside && pressedIndex.isValid() && index == pressedIndex;
}

bool LinkCellDelegate::hasButton(const QModelIndex& index) const {
    return index.isValid() && columnIdentifier(index) == u"url" &&
           showsLinkButton(
               dataSource.tableViewObjectValueForTableColumn(u"url", sourceRowOf(index)));
}

void LinkCellDelegate::click(const QModelIndex& index) {
    if (!hasButton(index))
        return;
    view->setCurrentIndex(index);
    linkCell->performClick();
}

void LinkCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    // The row's background and selection as in every other cell, without text.
    QStyleOptionViewItem background(option);
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    background.features &=
        ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
    const QWidget* widget = background.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    tableDelegate.tableViewWillDisplayCell(*linkCell, columnIdentifier(index), sourceRowOf(index));
    linkCell->setHighlighted(isPressed(index));
    // The current cell of a focused table: Space presses its button.
    linkCell->setShowsFocusRing(option.state.testFlag(QStyle::State_HasFocus) && hasButton(index));
    QPalette palette = option.palette;
    if (option.state.testFlag(QStyle::State_Selected))
        palette.setColor(QPalette::Text, palette.color(QPalette::HighlightedText));
    linkCell->draw(*painter, option.rect, palette);
}

QSize LinkCellDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(24, 20));
}

bool LinkCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
    // The second press of a double click arrives as a double click; a button takes it as a press.
    if ((event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        endPress();
        if (hasButton(index)) {
            pressedIndex = index;
            setPressedInside(true);
        }
        // Not consumed: the view goes on to select the row where that is allowed.
        return false;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool LinkCellDelegate::eventFilter(QObject* watched, QEvent* event) {
    // The base filter looks after editors; the viewport is not one.
    if (watched != viewport)
        return QStyledItemDelegate::eventFilter(watched, event);
    if (!pressedIndex.isValid())
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
        setPressedInside(isOverPressedCell(static_cast<QMouseEvent*>(event)->position().toPoint()));
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            const bool click =
                isOverPressedCell(static_cast<QMouseEvent*>(event)->position().toPoint());
            endPress();
            if (click)
                linkCell->performClick();
        }
        break;
    case QEvent::Hide:
        // Also sent while the view is torn down: nothing to repaint, so the view is not touched.
        forgetPress();
        break;
    default:
        break;
    }
    return false;
}

bool LinkCellDelegate::isOverPressedCell(const QPoint& viewportPosition) const {
    return view->viewport()->rect().contains(viewportPosition) &&
           view->indexAt(viewportPosition) == pressedIndex;
}

void LinkCellDelegate::setPressedInside(bool inside) {
    if (inside == pressedInside)
        return;
    pressedInside = inside;
    if (pressedIndex.isValid())
        view->update(pressedIndex);
}

void LinkCellDelegate::endPress() {
    setPressedInside(false);
    forgetPress();
}

void LinkCellDelegate::forgetPress() {
    pressedInside = false;
    pressedIndex = QPersistentModelIndex();
}
