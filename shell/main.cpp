// The program entry (shell/program.h).
#include "shell/program.h"

int main(int argc, char** argv) { return runDemoProgram(argc, argv); }
