#include "app/gamelaunch.h"

QString cleanedCommand(const std::optional<QString>& command) {
    return command.value_or(QString());
}

QStringList gameArgumentList(const ModEntry&) {
    return {};
}
