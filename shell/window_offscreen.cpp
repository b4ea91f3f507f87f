// The offscreen window on OSMesa. The context renders into one 640x480 RGBA buffer in memory;
// what a swap would present is handed to offscreenPresent. There are no events: running
// falls only when someone clears it.
#include "shell/window_offscreen.h"

#include <GL/osmesa.h>

#include "shell/gl.h"
#include "shell/window.h"

const int fullScreen = 0;
void (*offscreenPresent)(const uint8_t* rgba) = nullptr;

static OSMesaContext offscreenContext = nullptr;
static uint8_t offscreenBuffer[OFFSCREEN_WIDTH * OFFSCREEN_HEIGHT * 4];

void createDemoWindow()
{
    // RGBA colour buffer, 16-bit depth, no stencil or accumulation, like the real window.
    offscreenContext = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    if (offscreenContext == nullptr ||
        !OSMesaMakeCurrent(offscreenContext, offscreenBuffer, GL_UNSIGNED_BYTE, OFFSCREEN_WIDTH, OFFSCREEN_HEIGHT)) {
        failDemoWindow("cannot create the offscreen OpenGL context");
        return;
    }
    setInitialGlState();
    demoRunning = 1;
    buildFontLists();
}

const uint8_t* offscreenFrame()
{
    glFinish();
    return offscreenBuffer;
}

int pumpMessages()
{
    if (offscreenContext != nullptr && offscreenPresent != nullptr) {
        offscreenPresent(offscreenFrame());
    }
    return demoRunning;
}

void destroyDemoWindow()
{
    if (offscreenContext != nullptr) {
        demoWindowProc(EVENT_DESTROY);
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        OSMesaDestroyContext(offscreenContext);
        offscreenContext = nullptr;
    }
}
