// SPDX-License-Identifier: GPL-3.0-or-later
#include "modinstall/installnames.h"

#include <array>

namespace {

constexpr qsizetype maximumNameBytes = 1024;
constexpr qsizetype maximumComponentBytes = 255;
constexpr qsizetype longestDisplayedName = 120;

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f);
}

qsizetype utf8Length(QStringView text) {
    // Counted without converting: names are checked by the ten thousand.
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80)
            bytes += 1;
        else if (u < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                 QChar::isLowSurrogate(text[i + 1].unicode())) {
            bytes += 4;
            ++i;
        } else
            bytes += 3;
    }
    return bytes;
}

// Whether an ASCII word equals `upper` ignoring case.
bool equalsUpper(QStringView word, const char* upper) {
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char16_t u = word[i].unicode();
        if (upper[i] == 0 ||
            (u >= u'a' && u <= u'z' ? char16_t(u - 0x20) : u) != char16_t(upper[i]))
            return false;
    }
    return upper[word.size()] == 0;
}

// Windows maps these names to devices whatever follows the first dot ("con.txt" too), and
// ignores spaces before that dot.
bool isDeviceName(QStringView component) {
    qsizetype stem = 0;
    while (stem < component.size() && component[stem] != u'.')
        ++stem;
    while (stem > 0 && component[stem - 1] == u' ')
        --stem;
    const QStringView word = component.first(stem);
    if (stem == 3)
        return equalsUpper(word, "CON") || equalsUpper(word, "NUL") || equalsUpper(word, "AUX") ||
               equalsUpper(word, "PRN");
    if (stem == 4 && word[3] >= u'1' && word[3] <= u'9')
        return equalsUpper(word.first(3), "COM") || equalsUpper(word.first(3), "LPT");
    return false;
}

} // namespace

InstallName vetInstallName(QStringView name) {
    InstallName result;
    auto refuse = [&](const QString& fault) {
        result.components.clear();
        result.fault = fault;
        return result;
    };
    if (name.isEmpty())
        return refuse(QStringLiteral("has an empty name"));
    for (const QChar c : name)
        if (isControl(c))
            return refuse(QStringLiteral("holds a control character"));
    if (name.size() > maximumNameBytes / 3 && utf8Length(name) > maximumNameBytes)
        return refuse(QStringLiteral("has a name longer than 1024 bytes"));
    if (name.front() == u'/' || name.front() == u'\\')
        return refuse(QStringLiteral("is an absolute path"));

    result.components.reserve(8);
    // Where the parts after the last '/' start, when backslashes follow it.
    const qsizetype lastSlash = name.lastIndexOf(u'/');
    const bool keptWhole = lastSlash >= 0 && name.indexOf(u'\\', lastSlash) >= 0;
    qsizetype folders = -1;
    qsizetype from = 0;
    while (from <= name.size()) {
        if (folders < 0 && from > lastSlash)
            folders = result.components.size();
        qsizetype end = from;
        bool colon = false;
        while (end < name.size() && name[end] != u'/' && name[end] != u'\\') {
            colon = colon || name[end] == u':';
            ++end;
        }
        const QStringView component = name.sliced(from, end - from);
        from = end + 1;
        const bool dot = component.size() >= 1 && component[0] == u'.';
        if (component.isEmpty() || (dot && component.size() == 1))
            continue;
        if (colon)
            return refuse(QStringLiteral("names a drive or holds a \":\""));
        if (dot && component.size() == 2 && component[1] == u'.')
            return refuse(QStringLiteral("climbs out of its folder with \"..\""));
        if (component.size() > maximumComponentBytes / 3 &&
            utf8Length(component) > maximumComponentBytes)
            return refuse(QStringLiteral("has a part longer than 255 bytes"));
        if (isDeviceName(component))
            return refuse(
                QStringLiteral("uses a Windows device name (%1)").arg(displayedName(component)));
        if (component.back() == u'.' || component.back() == u' ')
            return refuse(QStringLiteral("has a part ending in a dot or a space"));
        result.components.append(component.toString());
    }
    if (result.components.isEmpty())
        return refuse(QStringLiteral("has an empty name"));
    // An extractor that kept a Windows name whole made files like "Animations\Raptor.ukx"
    // inside Animations/: the folders the name repeats after its backslash are there once.
    if (keptWhole && folders > 0) {
        QStringList& parts = result.components;
        for (qsizetype k = std::min(folders, parts.size() - folders - 1); k > 0; --k) {
            bool repeats = true;
            for (qsizetype i = 0; i < k && repeats; ++i)
                repeats =
                    parts[folders - k + i].compare(parts[folders + i], Qt::CaseInsensitive) == 0;
            if (repeats) {
                parts.remove(folders, k);
                break;
            }
        }
    }
    return result;
}

bool isJunkEntry(const QStringList& components) {
    for (const QString& component : components)
        if (component.compare(u"__MACOSX", Qt::CaseInsensitive) == 0 ||
            component.compare(u"META-INF", Qt::CaseInsensitive) == 0)
            return true;
    if (components.isEmpty())
        return false;
    const QString& last = components.last();
    return last.startsWith(u"._") || last.compare(u".DS_Store", Qt::CaseInsensitive) == 0 ||
           last.compare(u"Thumbs.db", Qt::CaseInsensitive) == 0 ||
           last.compare(u"desktop.ini", Qt::CaseInsensitive) == 0;
}

std::optional<QString> standardGameFolder(QStringView name) {
    static const std::array<QStringView, 14> folders = {
        u"System",       u"Maps",       u"Textures",  u"Sounds",       u"Music",
        u"StaticMeshes", u"Animations", u"KarmaData", u"Help",         u"Speech",
        u"Web",          u"Manual",     u"Benchmark", u"ForceFeedback"};
    for (const QStringView folder : folders)
        if (name.compare(folder, Qt::CaseInsensitive) == 0)
            return folder.toString();
    return std::nullopt;
}

QString displayedName(QStringView name) {
    QString shown;
    const qsizetype kept = qMin(name.size(), longestDisplayedName);
    shown.reserve(kept + 1);
    for (const QChar c : name.first(kept))
        shown.append(isControl(c) ? QChar(QChar::ReplacementCharacter) : c);
    if (kept < name.size())
        shown.append(QChar(0x2026));
    return shown;
}

QString caseKey(QStringView name) {
    // Names are nearly always ASCII: folded here without Unicode's tables, to the same result.
    QString key(name.size(), Qt::Uninitialized);
    QChar* out = key.data();
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= 0x80)
            return name.toString().toCaseFolded();
        out[i] = QChar(u >= u'A' && u <= u'Z' ? char16_t(u + 0x20) : u);
    }
    return key;
}
