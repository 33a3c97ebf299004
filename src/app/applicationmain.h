#pragma once

// Builds the application, its window and controller, starts up and runs the event loop.
int applicationMain(int argc, char** argv);
