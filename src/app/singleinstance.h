// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

// One Modgate per user: the first start listens on a local socket, a later one finds it there,
// hands it its request (its arguments: none, or a mod to launch) and goes no further. Two could
// start two games.
//
// Plain Unix sockets watched by the event loop: Qt's own local sockets come with its network
// library, which would be loaded, with the libraries it needs, at every start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Connects to, or else listens on, the socket of that name, and where another instance
    // answers, sends it the request. A socket left by a Modgate that crashed answers nobody, and
    // is replaced.
    explicit SingleInstance(const QString& socketName, const QStringList& request = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // False where another instance answered (and was handed the request).
    bool isFirst() const { return first; }

    // The current user's socket: in the user's runtime folder.
    static QString defaultSocketName();

signals:
    // A later start asked for the window, with its request.
    void requestReceived(const QStringList& request);

private:
    void listen();
    void acceptLater();

    QByteArray path;
    int listening = -1;
    bool first = true;
};
