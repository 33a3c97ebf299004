#include "support/textfile.h"

#include <QFile>

QString decodeText(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

std::optional<QString> stringWithContentsOfNativePath(const QByteArray& nativePath) {
    return stringWithContentsOfFile(QFile::decodeName(nativePath));
}

std::optional<QString> stringWithContentsOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodeText(file.readAll());
}
