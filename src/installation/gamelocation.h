#pragma once

#include <QString>
#include <optional>

// The bundle path named by the last base-directory line of a game log's text, or absent.
std::optional<QString> bundlePathFromGameLog(const QString& logText);
