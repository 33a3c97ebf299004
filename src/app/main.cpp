// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/applicationmain.h"

int main(int argc, char** argv) {
    return applicationMain(argc, argv);
}
