// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <optional>

namespace {

constexpr int answerMilliseconds = 1000;
// A request is a few arguments: anything longer is nobody's, and is dropped unread.
constexpr qsizetype maxRequestBytes = qsizetype(64) << 10;

// One line: the arguments as a JSON array of strings.
QByteArray requestLine(const QStringList& request) {
    return QJsonDocument(QJsonArray::fromStringList(request)).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QStringList> requestFromLine(const QByteArray& line) {
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isArray())
        return std::nullopt;
    QStringList request;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        request.append(value.toString());
    }
    return request;
}

} // namespace

SingleInstance::SingleInstance(const QString& socketName, const QStringList& request,
                               QObject* parent)
    : QObject(parent) {
    QLocalSocket first;
    first.connectToServer(socketName);
    if (first.waitForConnected(answerMilliseconds)) {
        first.write(requestLine(request));
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
                // The line may come in pieces; what came so far waits on the socket.
                if (!later->canReadLine()) {
                    if (later->bytesAvailable() > maxRequestBytes)
                        later->abort();
                    return;
                }
                if (const auto request = requestFromLine(later->readLine(maxRequestBytes)))
                    emit requestReceived(*request);
                later->disconnectFromServer();
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
