#include "installation/gamelocation.h"

std::optional<QString> bundlePathFromGameLog(const QString&) {
    return std::nullopt;
}
