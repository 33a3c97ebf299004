#include "catalogue/modsearch.h"

void searchForModsInBasePath(const std::optional<QString>&, const std::function<void(ModEntry)>&) {}
