// The program from its entry on: the process prepared, the options read (--help, --version and
// a refused option end there with their status), the heap kept, the demo run. Returns the
// program's status. With no arguments the demo reads no command line, environment or files.
#pragma once

int runDemoProgram(int argc, char** argv);
