// SPDX-License-Identifier: GPL-3.0-or-later
#include "packages/umodmanifest.h"
#include "support/initext.h"
#include "support/textfile.h"

#include <QSet>
#include <algorithm>

namespace {

using Fields = QList<std::pair<QString, QString>>;

bool equalWords(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isWord(QStringView value, std::initializer_list<const char16_t*> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](const char16_t* word) { return equalWords(value, word); });
}

// The engine's booleans: True, Yes, On, 1 (any case) and their opposites.
bool isTrue(const std::optional<QString>& value) {
    return value && isWord(*value, {u"true", u"yes", u"on", u"1"});
}
bool isFalse(const std::optional<QString>& value) {
    return value && isWord(*value, {u"false", u"no", u"off", u"0"});
}

QStringView unquoted(QStringView value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.sliced(1, value.size() - 2);
    return value;
}

// "(Src=System\de.u,Size=72405)": split at commas outside double quotes, each field Name=Value
// with the value's quotes taken off. A field without '=' is nothing.
Fields fieldList(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(u'(') && text.endsWith(u')'))
        text = text.sliced(1, text.size() - 2);
    Fields fields;
    const auto add = [&](QStringView field) {
        const qsizetype equals = field.indexOf(u'=');
        if (equals > 0)
            fields.append({field.first(equals).trimmed().toString(),
                           unquoted(field.sliced(equals + 1)).toString()});
    };
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'"')
            quoted = !quoted;
        else if (text[i] == u',' && !quoted) {
            add(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    add(text.sliced(start));
    return fields;
}

// The first field of that name; names are whole words in any letter case.
QString field(const Fields& fields, QStringView name) {
    for (const auto& [key, value] : fields)
        if (equalWords(key, name))
            return value;
    return {};
}

bool isOurGame(QStringView product) {
    return isWord(product, {u"UT2004", u"UT2003"});
}

bool isOtherGame(QStringView product) {
    return isWord(product, {u"UnrealTournament", u"Unreal Tournament", u"Unreal", u"UE2Runtime"});
}

bool isIniEdit(QStringView key) {
    return isWord(key, {u"Ini", u"AddIni", u"RemoveIni", u"RemoveIniValue", u"RemovePath"});
}

class Resolver {
public:
    explicit Resolver(UmodManifest& manifest) : manifest(manifest) {}
    // False with `refusal` set when a line cannot be installed as Modgate installs.
    bool group(const IniSection& section);

    QString refusal;

private:
    bool fileLine(const IniSection& section, const QString& value);

    UmodManifest& manifest;
};

bool Resolver::fileLine(const IniSection& section, const QString& value) {
    const Fields fields = fieldList(value);
    const QString source = field(fields, u"Src");
    const QString reference = field(fields, u"Ref");
    const QString language = field(fields, u"Lang");
    QString destination = field(fields, u"Dest");
    if (destination.isEmpty())
        destination = source;
    if (source.isEmpty()) {
        refusal = QStringLiteral("its manifest lists a file without saying which");
        return false;
    }
    if (!reference.isEmpty()) {
        refusal = QStringLiteral("it holds a patch for %1, not the whole file").arg(reference);
        return false;
    }
    if (isUmodManifestName(source) || isUmodManifestName(destination))
        manifest.skipped.append({source, QStringLiteral("the installer's own manifest")});
    else if (!language.isEmpty() && !equalWords(language, u"int"))
        manifest.skipped.append(
            {source, QStringLiteral("for another language (%1)").arg(language)});
    else
        manifest.files.append({source, destination, section.name});
    return true;
}

bool Resolver::group(const IniSection& section) {
    for (const auto& [key, value] : section.lines) {
        if (isWord(key, {u"File", u"Copy"})) {
            if (!fileLine(section, value))
                return false;
        } else if (isIniEdit(key)) {
            manifest.iniEdits.append(key + u'=' + value);
        }
    }
    return true;
}

} // namespace

bool isUmodManifestName(QStringView name) {
    // Compared as the path it becomes: empty and "." components are no folder.
    QList<QStringView> parts;
    for (const QStringView part : name.tokenize(u'/'))
        for (const QStringView piece : part.tokenize(u'\\'))
            if (!piece.isEmpty() && piece != u".")
                parts.append(piece);
    return parts.size() == 2 && equalWords(parts[0], u"System") && parts[1].size() > 9 &&
           equalWords(parts[1].first(9), u"Manifest.");
}

std::variant<UmodManifest, QString> resolveUmodManifest(const IniText& ini,
                                                        const IniText& localised) {
    static const IniSection none;
    const IniSection* setupSection = ini.section(u"Setup");
    const IniSection& setup = setupSection ? *setupSection : none;
    UmodManifest manifest;
    manifest.product = setup.value(u"Product").value_or(QString());
    manifest.version = setup.value(u"Version").value_or(QString());
    manifest.program = setup.value(u"Exe");
    const IniSection* shown = localised.section(u"Setup");
    manifest.localProduct = (shown ? shown->value(u"LocalProduct") : std::nullopt)
                                .value_or(setup.value(u"LocalProduct").value_or(QString()));

    if (isTrue(setup.value(u"Patch")))
        return QStringLiteral("it is a patch for the game itself, not a mod");
    for (const QString& name : setup.values(u"Requires"))
        if (const IniSection* requirement = ini.section(name))
            if (const std::optional<QString> product = requirement->value(u"Product");
                product && !product->isEmpty())
                manifest.requiredProducts.append(*product);
    const QStringList& required = manifest.requiredProducts;
    if (std::none_of(required.begin(), required.end(), isOurGame))
        for (const QString& product : required)
            if (isOtherGame(product))
                return QStringLiteral("made for %1, not UT2004").arg(product);

    // Depth first, each group's own lines before its sub-groups, each group once.
    Resolver resolver(manifest);
    QSet<QString> seen{QStringLiteral("setup")};
    QStringList pending = setup.values(u"Group");
    std::reverse(pending.begin(), pending.end());
    while (!pending.isEmpty()) {
        const QString name = pending.takeLast();
        const IniSection* group = ini.section(name);
        if (!group || seen.contains(group->name.toCaseFolded()))
            continue;
        seen.insert(group->name.toCaseFolded());
        if (isFalse(group->value(u"Selected")))
            continue;
        if (!resolver.group(*group))
            return resolver.refusal;
        QStringList subgroups = group->values(u"Group");
        std::reverse(subgroups.begin(), subgroups.end());
        pending.append(subgroups);
    }
    return manifest;
}

std::variant<UmodManifest, QString> resolveUmodManifest(const QByteArray& ini,
                                                        const QByteArray& localised) {
    return resolveUmodManifest(IniText(decodeText(ini)), IniText(decodeText(localised)));
}
