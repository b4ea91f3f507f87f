// The program entry on Windows: as on Linux, and a failure to make the window (no 640x480
// mode, no OpenGL) shown in a message box as well as written to stderr, since a program
// started from Explorer has no console to write to. SDL_main.h makes this main SDL_main,
// which SDL2main's WinMain calls with the command line in UTF-8.
#include <SDL_main.h>
#include <windows.h>

#include <cstdio>

#include "shell/program.h"
#include "shell/window.h"

int main(int argc, char** argv)
{
    const int status = runDemoProgram(argc, argv);
    if (windowCore.failure != nullptr) {
        char text[512];
        std::snprintf(text, sizeof text, "Yarvik cannot run: %s.", windowCore.failure);
        MessageBoxA(nullptr, text, "Yarvik", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
    return status;
}
