// The demo from start-up to shutdown. Returns the process exit status: 0, or 1 when the
// window could not be made (the reason has been written to stderr).
#pragma once

int demoMain();

// The scene the loop is on, counting from 1; past the last scene once the sequence has ended.
// Read-only, for the tools that profile the run.
int demoSceneIndex();
