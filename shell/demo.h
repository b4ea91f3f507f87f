// The demo from start-up to shutdown.
#pragma once

struct DemoParts;

// The exit statuses of the program, as its --help lists them.
constexpr int EXIT_DONE = 0;    // played to its end, or ended by Escape, the window or a signal
constexpr int EXIT_FAILED = 1;  // no window (no display, or 640x480 refused), or no output
constexpr int EXIT_USAGE = 2;   // an unknown option, or options that do not go together

// Both return EXIT_DONE, or EXIT_FAILED when the window could not be made (the reason has
// then been written to stderr).

// The demo as it is: its own scenes and music (demoParts).
int demoMain();
// The same start-up, loop and shutdown over other parts: for tests and tools that record,
// replace or time what the loop calls. `parts` must outlast the call.
int demoRun(const DemoParts& parts);

// The scene the loop is on, counting from 1; past the last scene once the sequence has ended.
// Read-only, for the tools that profile the run.
int demoSceneIndex();
