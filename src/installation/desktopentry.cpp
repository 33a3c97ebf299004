// SPDX-License-Identifier: GPL-3.0-or-later
#include "installation/desktopentry.h"

#include "support/textlines.h"

namespace {

// The value's own escapes, which come before the argument quoting.
QString unescapedValue(QStringView value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar escaped = value.at(++i);
            switch (escaped.unicode()) {
            case u's':
                c = u' ';
                break;
            case u'n':
                c = u'\n';
                break;
            case u't':
                c = u'\t';
                break;
            case u'r':
                c = u'\r';
                break;
            case u'\\':
                break;
            default: // the argument quoting's own, kept for it
                text.append(c);
                c = escaped;
            }
        }
        text.append(c);
    }
    return text;
}

std::optional<QString> firstArgument(const QString& line) {
    QString argument;
    qsizetype i = 0;
    while (i < line.size() && line.at(i).isSpace())
        ++i;
    if (i < line.size() && line.at(i) == u'"') {
        for (++i; i < line.size(); ++i) {
            QChar c = line.at(i);
            if (c == u'"')
                return argument;
            if (c == u'\\' && i + 1 < line.size())
                c = line.at(++i);
            argument.append(c);
        }
        return std::nullopt;
    }
    while (i < line.size() && !line.at(i).isSpace())
        argument.append(line.at(i++));
    return argument;
}

} // namespace

std::optional<QString> desktopEntryProgram(QStringView text) {
    bool inMainGroup = false;
    for (const QString& rawLine : splitLines(text)) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || !line.startsWith(u"Exec"))
            continue;
        const QStringView rest = QStringView(line).sliced(4).trimmed();
        if (!rest.startsWith(u'='))
            continue;
        const std::optional<QString> program = firstArgument(unescapedValue(rest.sliced(1)));
        if (!program || !program->startsWith(u'/') || program->contains(u'\0'))
            return std::nullopt;
        return program;
    }
    return std::nullopt;
}

std::optional<QString> gameFolderOfExecutable(const QString& executable) {
    const qsizetype slash = executable.lastIndexOf(u'/');
    if (slash <= 0)
        return std::nullopt;
    const QString folder = executable.first(slash);
    const qsizetype nameStart = folder.lastIndexOf(u'/') + 1;
    // Never the root folder: a System folder there is no game's.
    if (nameStart <= 1 || !QStringView(folder).sliced(nameStart).startsWith(u"System"))
        return std::nullopt;
    return folder.first(nameStart - 1);
}
