// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/install/downloaddrop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

DownloadDrop::DownloadDrop(QWidget* window, std::function<void(const QStringList&)> dropped)
    : QObject(window), dropped(std::move(dropped)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

QStringList DownloadDrop::localFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            paths << url.toLocalFile();
    return paths;
}

bool DownloadDrop::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (localFiles(drag->mimeData()).isEmpty())
            return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (paths.isEmpty())
            return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // After the drag has ended: the install's dialogs must not run inside it.
        QMetaObject::invokeMethod(
            this, [this, paths] { dropped(paths); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
