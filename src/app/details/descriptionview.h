// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QTextBrowser>
#include <QTextDocument>

// A description shown at its whole height for the width it gets, so that whatever holds it
// scrolls, not the description itself. Its links are reached with Tab only when it has some:
// without links it is no Tab stop.
class DescriptionView : public QTextBrowser {
public:
    explicit DescriptionView(QWidget* parent = nullptr);

    void setDescription(const QString& html, bool hasLinks);

    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    // Heights are measured on a copy, so that asking for other widths never lays out anew the
    // document the view shows; a layout's choice between widths is asked once for each.
    mutable QTextDocument measured;
    mutable QHash<int, int> heights;
};
