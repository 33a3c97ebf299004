// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/singleinstance.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int answerMilliseconds = 1000;
// A request is a few arguments: anything longer is nobody's, and is dropped.
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

// Sends all of the line, waiting a moment where the socket is full.
void sendLine(int fd, const QByteArray& line) {
    qsizetype sent = 0;
    while (sent < line.size()) {
        const ssize_t wrote =
            ::send(fd, line.constData() + sent, size_t(line.size() - sent), MSG_NOSIGNAL);
        if (wrote > 0) {
            sent += wrote;
            continue;
        }
        pollfd waiting{fd, POLLOUT, 0};
        if (wrote < 0 && (errno == EAGAIN || errno == EINTR) &&
            ::poll(&waiting, 1, answerMilliseconds) == 1)
            continue;
        return;
    }
}

// The socket's address; absent where the path does not fit in one.
std::optional<sockaddr_un> addressOf(const QByteArray& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || path.contains('\0') || size_t(path.size()) >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

int newSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Whether a running Modgate answers at the address; it is then handed the request.
bool askRunningOne(const sockaddr_un& address, const QStringList& request) {
    const int fd = newSocket();
    if (fd < 0)
        return false;
    bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    // A busy one gets a moment to take the call, as a hung one must not keep every start away.
    if (!connected && (errno == EAGAIN || errno == EINPROGRESS)) {
        pollfd waiting{fd, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        connected = ::poll(&waiting, 1, answerMilliseconds) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    if (connected)
        sendLine(fd, requestLine(request));
    ::close(fd);
    return connected;
}

} // namespace

SingleInstance::SingleInstance(const QString& socketName, const QStringList& request,
                               QObject* parent)
    : QObject(parent), path(QFile::encodeName(socketName)) {
    const std::optional<sockaddr_un> address = addressOf(path);
    if (address && askRunningOne(*address, request)) {
        first = false;
        return;
    }
    listen();
}

SingleInstance::~SingleInstance() {
    // The notifiers go with this object; the sockets they watch are closed here.
    for (const QSocketNotifier* watched : findChildren<QSocketNotifier*>())
        if (watched->isEnabled())
            ::close(int(watched->socket()));
    if (listening >= 0)
        ::unlink(path.constData());
}

void SingleInstance::listen() {
    const std::optional<sockaddr_un> address = addressOf(path);
    const int fd = address ? newSocket() : -1;
    // Nobody answered: whatever is left at the name is a crashed run's. The socket is the user's
    // alone, from the start.
    if (address)
        ::unlink(path.constData());
    const mode_t mask = ::umask(0077);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0;
    ::umask(mask);
    if (!bound || ::listen(fd, 8) != 0) {
        // Starting without it beats not starting: only the guard is lost.
        qWarning("Modgate: cannot listen on %s: %s", path.constData(), std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        if (bound)
            ::unlink(path.constData());
        return;
    }
    listening = fd;
    auto* incoming = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(incoming, &QSocketNotifier::activated, this, [this] { acceptLater(); });
}

void SingleInstance::acceptLater() {
    for (;;) {
        const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto* readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        // The line may come in pieces: what came so far waits here.
        auto received = std::make_shared<QByteArray>();
        connect(readable, &QSocketNotifier::activated, this, [this, fd, readable, received] {
            char bytes[4096];
            const ssize_t got = ::recv(fd, bytes, sizeof bytes, 0);
            bool done = got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR);
            if (got > 0) {
                received->append(bytes, got);
                if (const qsizetype end = received->indexOf('\n'); end >= 0) {
                    if (const auto request = requestFromLine(received->left(end)))
                        emit requestReceived(*request);
                    done = true;
                } else if (received->size() > maxRequestBytes) {
                    done = true;
                }
            }
            if (done) {
                readable->setEnabled(false);
                readable->deleteLater();
                ::close(fd);
            }
        });
    }
}

QString SingleInstance::defaultSocketName() {
    // Private to the user; Qt falls back to a folder of the user's own where XDG_RUNTIME_DIR is
    // unset.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/modgate.socket");
}
