#include "app/modtablemodel.h"

#include "app/controller.h"

ModTableModel::ModTableModel(Controller& controller, QObject* parent)
    : QAbstractTableModel(parent), controller(controller) {}

const QStringList& ModTableModel::columnIdentifiers() {
    static const QStringList identifiers{QStringLiteral("name"), QStringLiteral("url")};
    return identifiers;
}

int ModTableModel::columnWithIdentifier(QStringView identifier) {
    const QStringList& identifiers = columnIdentifiers();
    for (int column = 0; column < identifiers.size(); ++column)
        if (identifiers.at(column) == identifier)
            return column;
    return -1;
}

int ModTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : controller.numberOfRowsInTableView();
}

int ModTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columnIdentifiers().size());
}

QVariant ModTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const QString& column = columnIdentifiers().at(index.column());
    const bool isLink = column == u"url";
    // The link column draws a button, not text; every cell shows its value as the tooltip.
    if ((role == Qt::DisplayRole && !isLink) || role == Qt::ToolTipRole || role == Qt::EditRole) {
        const auto value = controller.tableViewObjectValueForTableColumn(column, index.row());
        return value ? QVariant(*value) : QVariant();
    }
    return {};
}

bool ModTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    controller.tableViewSetObjectValue(value, columnIdentifiers().at(index.column()), index.row());
    return false;
}

QVariant ModTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnIdentifiers().size())
        return {};
    if (role == IdentifierRole)
        return columnIdentifiers().at(section);
    if (role == Qt::DisplayRole)
        return section == columnWithIdentifier(u"name") ? tr("Mod") : QString();
    return {};
}

Qt::ItemFlags ModTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}
