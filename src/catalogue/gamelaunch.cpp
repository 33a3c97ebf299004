// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/gamelaunch.h"

QString cleanedCommand(const std::optional<QString>& command) {
    QString text = command.value_or(QString());
    // Only U+0020 counts, and only at the front; line breaks go wherever they are, leaving no gap.
    qsizetype leadingSpaces = 0;
    while (leadingSpaces < text.size() && text.at(leadingSpaces) == u' ')
        ++leadingSpaces;
    text.remove(0, leadingSpaces);
    text.remove(u'\n');
    text.remove(u'\r');
    return text;
}

QStringList gameArgumentList(const ModEntry& entry) {
    QStringList arguments;
    // The command is one argument however many spaces it holds: the game gets no shell.
    const QString command = cleanedCommand(entry.command);
    if (!command.isEmpty())
        arguments.append(command);
    // The mod argument is always passed, as an empty one for the plain game.
    arguments.append(entry.launchName ? QStringLiteral("-mod=") + *entry.launchName
                                      : QStringLiteral(""));
    return arguments;
}

QString launchArgumentLine(const ModEntry& entry) {
    QStringList arguments = gameArgumentList(entry);
    // The plain game's mod argument is an empty one: nothing to show.
    arguments.removeAll(QString());
    return arguments.join(u' ');
}
