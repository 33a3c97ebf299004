// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One Modgate per user: the first start listens on a local socket, a later one finds it there,
// asks it to come to the front and goes no further. Two could start two games.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Connects to, or else listens on, the socket of that name. A socket left by a Modgate that
    // crashed answers nobody, and is replaced.
    explicit SingleInstance(const QString& socketName, QObject* parent = nullptr);

    // False where another instance answered (and was asked to come to the front).
    bool isFirst() const { return server != nullptr; }

    // The current user's socket: in the user's runtime folder.
    static QString defaultSocketName();

signals:
    // A later start asked for the window.
    void raiseRequested();

private:
    QLocalServer* server = nullptr;
};
