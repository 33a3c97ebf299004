#include "app/controller.h"

void Controller::launch() {}
void Controller::launchThread(LaunchRequest) {}
void Controller::launchFailed(const QString&, const QString&) {}
void Controller::stopIndicator() {}
void Controller::utClosed() {}
