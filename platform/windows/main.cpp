// The program entry on Windows: as on Linux, and a failure to make the window (no 640x480
// mode, no OpenGL) shown in a message box as well as written to stderr, since a program
// started from Explorer has no console to write to. SDL_main.h makes this main SDL_main,
// which SDL2main's WinMain calls with the command line in UTF-8.
#include <SDL_main.h>
#include <windows.h>

#include <cstdio>

#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/options.h"
#include "shell/process.h"
#include "shell/window.h"

int main(int argc, char** argv)
{
    prepareProcess();
    DemoOptions options = DEMO_OPTIONS_START;
    if (int status = parseDemoOptions(argc, argv, &options); status != OPTIONS_RUN) {
        return status;
    }
    windowCore.request = options.window;
    keepHeapTop();
    const int status = demoMain();
    if (windowCore.failure != nullptr) {
        char text[512];
        std::snprintf(text, sizeof text, "Yarvik cannot run: %s.", windowCore.failure);
        MessageBoxA(nullptr, text, "Yarvik", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
    return status;
}
