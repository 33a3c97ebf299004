// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <utility>

// One [Section] of an ini text: its Key=Value lines in the order written, repeated keys kept.
struct IniSection {
    QString name;
    QList<std::pair<QString, QString>> lines; // key as written, value; both trimmed

    // The values of every line whose key is `key` in any letter case, in order.
    QStringList values(QStringView key) const;
    // The first of them.
    std::optional<QString> value(QStringView key) const;
};

// Ini text as the game writes and reads it, never through QSettings: [Section] lines, Key=Value
// lines in order with repeats kept, whole-line ';' comments, CR LF or LF line ends. Section
// names and keys are compared in any letter case; a section written twice is one section, its
// lines in file order. Lines before the first section, and lines without '=', are ignored.
class IniText {
public:
    IniText() = default;
    explicit IniText(QStringView text);

    const QList<IniSection>& sections() const { return all; }
    // Absent when there is no such section.
    const IniSection* section(QStringView name) const;

private:
    QList<IniSection> all;
    QHash<QString, qsizetype> byName; // case-folded name -> index
};
