// The demo from start-up to shutdown. Returns the process exit status: 0, or 1 when the
// window could not be made (the reason has been written to stderr).
#pragma once

struct DemoParts;

// The demo as it is: its own scenes and music (demoParts).
int demoMain();
// The same start-up, loop and shutdown over other parts: for tests and tools that record,
// replace or time what the loop calls. `parts` must outlast the call.
int demoRun(const DemoParts& parts);

// The scene the loop is on, counting from 1; past the last scene once the sequence has ended.
// Read-only, for the tools that profile the run.
int demoSceneIndex();
