#include "app/controller.h"

void Controller::setUnrealLocation() {}
bool Controller::panelIsValidFilename(const QString&) {
    return true;
}
