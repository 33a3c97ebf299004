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

// Windows maps these names to devices whatever follows the first dot ("con.txt" too), and
// ignores spaces before that dot.
bool isDeviceName(QStringView component) {
    QStringView stem =
        component.left(component.indexOf(u'.') < 0 ? component.size() : component.indexOf(u'.'));
    while (stem.endsWith(u' '))
        stem.chop(1);
    static const std::array<QStringView, 4> plain = {u"CON", u"NUL", u"AUX", u"PRN"};
    for (const QStringView device : plain)
        if (stem.compare(device, Qt::CaseInsensitive) == 0)
            return true;
    if (stem.size() == 4 && stem[3] >= u'1' && stem[3] <= u'9')
        return stem.first(3).compare(u"COM", Qt::CaseInsensitive) == 0 ||
               stem.first(3).compare(u"LPT", Qt::CaseInsensitive) == 0;
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
    if (utf8Length(name) > maximumNameBytes)
        return refuse(QStringLiteral("has a name longer than 1024 bytes"));
    if (name.front() == u'/' || name.front() == u'\\')
        return refuse(QStringLiteral("is an absolute path"));

    qsizetype from = 0;
    while (from <= name.size()) {
        qsizetype end = from;
        while (end < name.size() && name[end] != u'/' && name[end] != u'\\')
            ++end;
        const QStringView component = name.sliced(from, end - from);
        from = end + 1;
        if (component.isEmpty() || component == u".")
            continue;
        if (component.contains(u':'))
            return refuse(QStringLiteral("names a drive or holds a \":\""));
        if (component == u"..")
            return refuse(QStringLiteral("climbs out of its folder with \"..\""));
        if (utf8Length(component) > maximumComponentBytes)
            return refuse(QStringLiteral("has a part longer than 255 bytes"));
        if (isDeviceName(component))
            return refuse(
                QStringLiteral("uses a Windows device name (%1)").arg(displayedName(component)));
        if (component.endsWith(u'.') || component.endsWith(u' '))
            return refuse(QStringLiteral("has a part ending in a dot or a space"));
        result.components.append(component.toString());
    }
    if (result.components.isEmpty())
        return refuse(QStringLiteral("has an empty name"));
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
    return name.toString().toCaseFolded();
}
