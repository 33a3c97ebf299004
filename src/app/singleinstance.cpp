// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr int answerMilliseconds = 1000;
const QByteArray raiseRequest = QByteArrayLiteral("raise\n");

} // namespace

SingleInstance::SingleInstance(const QString& socketName, QObject* parent) : QObject(parent) {
    QLocalSocket first;
    first.connectToServer(socketName);
    if (first.waitForConnected(answerMilliseconds)) {
        first.write(raiseRequest);
        first.waitForBytesWritten(answerMilliseconds);
        first.disconnectFromServer();
        return;
    }
    // Nobody answered: whatever is left at the name is a crashed run's.
    QLocalServer::removeServer(socketName);
    auto* listening = new QLocalServer(this);
    listening->setSocketOptions(QLocalServer::UserAccessOption);
    // Starting without it beats not starting: only the guard is lost.
    if (!listening->listen(socketName))
        qWarning("Modgate: cannot listen on %s: %s", qPrintable(socketName),
                 qPrintable(listening->errorString()));
    server = listening;
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* later = server->nextPendingConnection()) {
            connect(later, &QLocalSocket::disconnected, later, &QObject::deleteLater);
            connect(later, &QLocalSocket::readyRead, this, [this, later] {
                if (later->readAll().contains(raiseRequest))
                    emit raiseRequested();
            });
        }
    });
}

QString SingleInstance::defaultSocketName() {
    // Private to the user; Qt falls back to a folder of the user's own where XDG_RUNTIME_DIR is
    // unset.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/modgate.socket");
}
