// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/modentry.h"

#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>

class LinkButtonCell;

// What the table asks of whoever owns the mod list: its rows and their values. Columns are named
// by mod entry key ("name", "url").
class ModTableDataSource {
public:
    virtual int numberOfRowsInTableView() const = 0;
    virtual std::optional<QString> tableViewObjectValueForTableColumn(QStringView column,
                                                                      int row) const = 0;
    virtual void tableViewSetObjectValue(const QVariant& value, QStringView column, int row) = 0;
    // The whole entry behind a row, for what a single value cannot say (an untitled row).
    virtual const ModEntry& modAtRow(int row) const = 0;

protected:
    ~ModTableDataSource() = default;
};

// What the table asks before it selects a row and draws a link cell.
class ModTableDelegate {
public:
    virtual bool tableViewShouldSelectRow(int row) const = 0;
    // Dresses the one link cell for the row about to be drawn: its target and action.
    virtual void tableViewWillDisplayCell(LinkButtonCell& cell, QStringView column,
                                          int row) const = 0;

protected:
    ~ModTableDelegate() = default;
};
