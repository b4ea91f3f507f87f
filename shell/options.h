// The real program's command line. With no arguments the demo runs exactly as it always has;
// --window and --desktop choose another way to show it, --version and --help print something
// and exit, anything else is refused.
#pragma once

#include "shell/demo.h"
#include "shell/window.h"

struct DemoOptions {
    bool version;          // --version: the version on standard output
    bool help;             // --help: what the demo is, its keys, options and exit statuses
    WindowRequest window;  // --window [WxH] or --desktop; the display mode by default
};
constexpr DemoOptions DEMO_OPTIONS_START = {false, false, WINDOW_REQUEST_START};

// parseDemoOptions returns this when the demo is to run; any other result is the status
// the program exits with at once.
constexpr int OPTIONS_RUN = -1;

// Reads the command line into `options`. An unknown option, a bad size or a second way to show
// the demo is named in one line on standard error (EXIT_USAGE); --version or --help is
// answered on standard output (EXIT_DONE, or EXIT_FAILED if standard output cannot be written).
int parseDemoOptions(int argc, char** argv, DemoOptions* options);
