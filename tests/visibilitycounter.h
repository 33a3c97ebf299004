#pragma once

#include <QEvent>
#include <QObject>

// Counts a widget's appearances and disappearances; on the busy indicator, the search's begin
// and end as the user sees them.
class VisibilityCounter : public QObject {
public:
    int shown = 0;
    int hidden = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++shown;
        else if (event->type() == QEvent::Hide)
            ++hidden;
        return false;
    }
};
