// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/table/modtablemodel.h"

#include "app/table/modtabledatasource.h"
#include "catalogue/gamelaunch.h"
#include "catalogue/weblink.h"
#include "support/contrast.h"

#include <QFont>
#include <QWidget>

ModTableModel::ModTableModel(ModTableDataSource& dataSource, QObject* parent)
    : QAbstractTableModel(parent), dataSource(dataSource) {}

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
    return parent.isValid() ? 0 : dataSource.numberOfRowsInTableView();
}

int ModTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columnIdentifiers().size());
}

QVariant ModTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const QString& column = columnIdentifiers().at(index.column());
    const auto value = dataSource.tableViewObjectValueForTableColumn(column, index.row());
    if (column == u"name" && role != Qt::EditRole)
        return titleData(index.row(), value, role);
    if (column == u"url" && role != Qt::EditRole)
        return linkData(value, role);
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::EditRole)
        return value ? QVariant(*value) : QVariant();
    return {};
}

QVariant ModTableModel::titleData(int row, const std::optional<QString>& title, int role) const {
    const ModEntry& entry = dataSource.modAtRow(row);
    // Set apart, so that a folder's name is not taken for a title.
    const bool untitled = entry.isUntitled();
    switch (role) {
    case Qt::DisplayRole:
        return untitled || title ? QVariant(entry.displayName()) : QVariant();
    case Qt::FontRole:
        if (untitled) {
            QFont italic;
            italic.setItalic(true);
            return italic;
        }
        return {};
    case Qt::ForegroundRole:
        if (untitled && paletteSource) {
            // Set apart, yet as legible as guidelines ask on either row colour.
            const QPalette& palette = paletteSource->palette();
            return QBrush(mutedTextColor(
                palette.color(QPalette::Text),
                {palette.color(QPalette::Base), palette.color(QPalette::AlternateBase)}));
        }
        return {};
    case Qt::ToolTipRole: {
        const QString arguments = launchArgumentLine(entry);
        return arguments.isEmpty() ? QVariant() : QVariant(arguments);
    }
    default:
        return {};
    }
}

QVariant ModTableModel::linkData(const std::optional<QString>& url, int role) const {
    switch (role) {
    // The column draws a button, not text.
    case Qt::ToolTipRole:
        return url ? QVariant(*url) : QVariant();
    case Qt::AccessibleTextRole:
        return showsLinkButton(url) ? QVariant(tr("Web page")) : QVariant();
    case Qt::AccessibleDescriptionRole:
        return showsLinkButton(url) ? QVariant(*url) : QVariant();
    default:
        return {};
    }
}

bool ModTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    dataSource.tableViewSetObjectValue(value, columnIdentifiers().at(index.column()), index.row());
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
