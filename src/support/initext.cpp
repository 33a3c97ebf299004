// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/initext.h"
#include "support/textlines.h"

QStringList IniSection::values(QStringView key) const {
    QStringList found;
    for (const auto& [name, value] : lines)
        if (QStringView(name).compare(key, Qt::CaseInsensitive) == 0)
            found.append(value);
    return found;
}

std::optional<QString> IniSection::value(QStringView key) const {
    for (const auto& [name, value] : lines)
        if (QStringView(name).compare(key, Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}

IniText::IniText(QStringView text) {
    IniSection* current = nullptr;
    for (const QString& line : splitLines(text)) {
        const QStringView trimmed = QStringView(line).trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';'))
            continue;
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
            const QString name = trimmed.sliced(1, trimmed.size() - 2).trimmed().toString();
            const QString key = name.toCaseFolded();
            if (!byName.contains(key)) {
                byName.insert(key, all.size());
                all.append(IniSection{name, {}});
            }
            current = &all[byName.value(key)];
            continue;
        }
        const qsizetype equals = trimmed.indexOf(u'=');
        if (!current || equals <= 0)
            continue;
        const QStringView key = trimmed.first(equals).trimmed();
        if (!key.isEmpty())
            current->lines.append(
                {key.toString(), trimmed.sliced(equals + 1).trimmed().toString()});
    }
}

const IniSection* IniText::section(QStringView name) const {
    const auto at = byName.constFind(name.toString().toCaseFolded());
    return at == byName.cend() ? nullptr : &all[*at];
}
