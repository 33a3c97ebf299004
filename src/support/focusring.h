// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// A ring around whichever part of a window has the keyboard focus, above everything else in the
// window and clipped where the part is scrolled out of sight. Some styles draw a focused button
// as they draw the default one, and a focused table with no current cell as an unfocused one;
// the ring shows the focus in any style. It never takes a click.
class FocusRing : public QWidget {
public:
    static constexpr int thickness = 2;

    explicit FocusRing(QWidget& window);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* focused);
    void place();

    QPointer<QWidget> target;
    // The target and the widgets it sits in, whose moves move it.
    QList<QPointer<QWidget>> watched;
};
