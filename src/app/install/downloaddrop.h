// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;
class QWidget;

// Files dragged from a file manager onto a window: accepted where they are local files, and
// handed on as paths when dropped.
class DownloadDrop : public QObject {
    Q_OBJECT
public:
    // Watches the window's drag and drop events, as its child.
    DownloadDrop(QWidget* window, std::function<void(const QStringList& paths)> dropped);

    // The local files among the dragged data's addresses.
    static QStringList localFiles(const QMimeData* data);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QStringList&)> dropped;
};
