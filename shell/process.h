// The process around the demo, set up alike by the program and the capture tool as the first
// thing in main, before any library opens a file, a device or a display connection.
#pragma once

// Opens /dev/null on any of the standard descriptors 0-2 that is closed, so that a display
// connection or an output file can never take one of them over; ignores SIGPIPE, so that a
// reader that went away only makes a write fail; and turns SIGINT, SIGTERM, SIGHUP and
// SIGQUIT into close requests, except those the process was started with ignored (nohup, a
// background job), which stay ignored; and counts the times the process is continued after a
// stop (SIGCONT).
void prepareProcess();

// How many times the process has been continued after a stop (Ctrl-Z and fg, SIGSTOP and
// SIGCONT) since prepareProcess; 0 where processes are never stopped. Any thread may read it:
// the time since its last look, when the count has changed, stood still.
unsigned int continueCount();

// The signal of a close request received since the last call, or 0; clears it. Polled once
// per pass by whoever runs the main loop.
int takeCloseSignal();
