#pragma once

#include "catalogue/modentry.h"

#include <QString>
#include <functional>
#include <optional>

// Walks everything below path + "/" and reports one entry per manifest, in walk order, the moment
// it is built.
void searchForModsInBasePath(const std::optional<QString>& path,
                             const std::function<void(ModEntry)>& modFound);
