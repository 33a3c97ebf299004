// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A one-line status label. A text too long for it is drawn elided in the middle, the whole text
// shows as its tooltip, and text() is always the whole text. Screen readers know it as a status
// bar, so they announce the name change QLabel reports with each new text.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // The text as it is drawn at the label's present width.
    QString shownText() const;
    // As narrow as an ellipsis: a long text is elided, it never widens the window.
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
