// The real program's command line. With no arguments the demo runs exactly as it always has;
// --version and --help print something and exit, anything else is refused.
#pragma once

struct DemoOptions {
    bool version;  // --version: the version on standard output
    bool help;     // --help: what the demo is, its keys and its exit statuses
};
constexpr DemoOptions DEMO_OPTIONS_START = {false, false};

// The exit statuses of the program, as --help lists them.
constexpr int EXIT_DONE = 0;        // played to its end, or ended by Escape, the window or a signal
constexpr int EXIT_FAILED = 1;      // no window (no display, or 640x480 refused), or no output
constexpr int EXIT_USAGE = 2;       // an unknown option

// parseDemoOptions returns this when the demo is to run; any other result is the status
// the program exits with at once.
constexpr int OPTIONS_RUN = -1;

// Reads the command line into `options`. An unknown option is named in one line on standard
// error (EXIT_USAGE); --version or --help is answered on standard output (EXIT_DONE, or
// EXIT_FAILED if standard output cannot be written).
int parseDemoOptions(int argc, char** argv, DemoOptions* options);
