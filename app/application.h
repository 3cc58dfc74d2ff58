#pragma once

// The whole program behind main(): single-instance check, application, main window,
// event loop. Returns the process exit code.
int runApplication(int argc, char *argv[]);
