// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/steamlibraries.h"

#include <optional>

namespace {

// Reads the KeyValues tokens of a text: quoted or bare strings, and braces.
class Tokens {
public:
    explicit Tokens(QStringView text) : text(text) {}

    enum class Kind { String, Open, Close, End, Error };
    struct Token {
        Kind kind;
        QString value;
    };

    Token next() {
        skipSpaceAndComments();
        if (at >= text.size())
            return {Kind::End, {}};
        const QChar c = text.at(at);
        if (c == u'{' || c == u'}') {
            ++at;
            return {c == u'{' ? Kind::Open : Kind::Close, {}};
        }
        if (c == u'"')
            return quoted();
        if (c.category() == QChar::Other_Control)
            return {Kind::Error, {}};
        const qsizetype start = at;
        while (at < text.size() && !text.at(at).isSpace() && text.at(at) != u'"' &&
               text.at(at) != u'{' && text.at(at) != u'}' &&
               text.at(at).category() != QChar::Other_Control)
            ++at;
        return {Kind::String, text.sliced(start, at - start).toString()};
    }

private:
    void skipSpaceAndComments() {
        while (at < text.size()) {
            if (text.at(at).isSpace()) {
                ++at;
            } else if (text.sliced(at).startsWith(u"//")) {
                while (at < text.size() && text.at(at) != u'\n')
                    ++at;
            } else {
                return;
            }
        }
    }

    Token quoted() {
        QString value;
        for (++at; at < text.size(); ++at) {
            QChar c = text.at(at);
            if (c == u'"') {
                ++at;
                return {Kind::String, value};
            }
            if (c == u'\\' && at + 1 < text.size()) {
                c = text.at(++at);
                c = c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c;
            } else if (c == u'\0') {
                break;
            }
            value.append(c);
        }
        return {Kind::Error, {}};
    }

    QStringView text;
    qsizetype at = 0;
};

bool isNumber(const QString& text) {
    bool number = false;
    text.toUInt(&number);
    return number;
}

} // namespace

QStringList steamLibraryPaths(QStringView text) {
    using Kind = Tokens::Kind;
    Tokens tokens(text);
    QStringList paths;
    int depth = 0;
    for (;;) {
        Tokens::Token key = tokens.next();
        if (key.kind == Kind::End)
            return depth == 0 ? paths : QStringList();
        if (key.kind == Kind::Close) {
            if (--depth < 0)
                return {};
            continue;
        }
        if (key.kind != Kind::String)
            return {};
        const Tokens::Token value = tokens.next();
        if (value.kind == Kind::Open) {
            ++depth;
            continue;
        }
        if (value.kind != Kind::String)
            return {};
        const bool libraryPath = depth == 2 && key.value.compare(u"path", Qt::CaseInsensitive) == 0;
        const bool olderForm = depth == 1 && isNumber(key.value);
        if ((libraryPath || olderForm) && !value.value.isEmpty())
            paths.append(value.value);
    }
}

QStringList steamRoots(const QString& homePath) {
    return {homePath + QStringLiteral("/.local/share/Steam"),
            homePath + QStringLiteral("/.steam/steam"),
            homePath + QStringLiteral("/.var/app/com.valvesoftware.Steam/.local/share/Steam")};
}

QStringList steamNativeTrees(const QString& steamGame) {
    return {steamGame + QStringLiteral("/linuxdata-oldunreal-v2"),
            steamGame + QStringLiteral("/linuxdata-oldunreal"),
            steamGame + QStringLiteral("/linuxdata")};
}

QStringList steamGameFolders(const QString& library) {
    const QString game = library + QStringLiteral("/steamapps/common/Unreal Tournament 2004");
    return steamNativeTrees(game) << game;
}
