// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Names the application and sets how it ends; call once the QApplication exists.
void configureApplication();

class QWidget;

// Brings a shown window to the front, as a second start asks.
void raiseWindow(QWidget& window);

// Builds the application, its window and controller, starts up and runs the event loop.
int applicationMain(int argc, char** argv);
