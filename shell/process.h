// The process around the demo, set up alike by the program and the capture tool as the first
// thing in main, before any library opens a file, a device or a display connection.
#pragma once

// Opens /dev/null on any of the standard descriptors 0-2 that is closed, so that a display
// connection or an output file can never take one of them over; ignores SIGPIPE, so that a
// reader that went away only makes a write fail; and turns SIGINT, SIGTERM, SIGHUP and
// SIGQUIT into close requests, except those the process was started with ignored (nohup, a
// background job), which stay ignored.
void prepareProcess();

// The signal of a close request received since the last call, or 0; clears it. Polled once
// per pass by whoever runs the main loop.
int takeCloseSignal();
