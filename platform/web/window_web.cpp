// The window in a browser: the page's canvas (#canvas) with a WebGL 1 context, on which the
// demo's GL 1.1 is drawn through the layer on OpenGL ES 2. The canvas is made as many pixels as
// it covers on the screen (its CSS size times the device's pixel ratio), and the picture takes
// the largest 4:3 area of it, with black bars, so text is drawn at the screen's own resolution.
// Keys come from the page: Escape ends the demo, any other key is handed on as one. The browser
// presents the frame once the frame callback returns, so presenting only counts frames.
#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <cstring>
#include <string_view>

#include "platform/gl/gl_calls.h"
#include "platform/gles2/es2_calls.h"
#include "platform/gles2/gles2.h"
#include "platform/web/web.h"
#include "shell/window.h"

static constexpr const char* CANVAS = "#canvas";
static constexpr int KEY_QUEUE_SIZE = 16;

struct WebWindowState {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;  // 0 while no window stands
    DemoEvent keys[KEY_QUEUE_SIZE];           // keys pressed since the last poll, oldest first
    int keyCount;
    long presented;                           // frames presented since the page loaded
};
static WebWindowState webWindow = {0, {}, 0, 0};

// The ES 2 calls the layer draws with, each WebGL 1's own through emscripten.
struct Es2Entry {
    const char* name;
    GlProc proc;
};
#define YARVIK_WEB_ES2_ENTRY(type, name, params) {#name, reinterpret_cast<GlProc>(&emscripten_##name)},
static const Es2Entry ES2_ENTRIES[] = {YARVIK_ES2_CALLS(YARVIK_WEB_ES2_ENTRY)};
#undef YARVIK_WEB_ES2_ENTRY

static GlProc webGlProc(const char* name)
{
    for (const Es2Entry& entry : ES2_ENTRIES) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.proc;
        }
    }
    return nullptr;
}

// Every presented frame's time is kept on the page (Module.frameTimes) for its measurements.
EM_JS(void, webNoteFrame, (double presented), {
    Module.framesPresented = presented;
    if (Module.frameTimes && Module.frameTimes.length < 100000) Module.frameTimes.push(performance.now());
});

static EM_BOOL keyDown(int, const EmscriptenKeyboardEvent* event, void*)
{
    if (webWindow.context == 0) {
        return EM_FALSE;
    }
    const bool escape = std::string_view(event->key) == "Escape";
    if (webWindow.keyCount < KEY_QUEUE_SIZE) {
        webWindow.keys[webWindow.keyCount++] = escape ? EVENT_ESCAPE_KEY : EVENT_OTHER_KEY;
    }
    // Escape is the demo's; other keys stay the browser's too (reload, zoom, fullscreen).
    return escape ? EM_TRUE : EM_FALSE;
}

void createDemoWindow()
{
    double cssWidth = 0.0;
    double cssHeight = 0.0;
    emscripten_get_element_css_size(CANVAS, &cssWidth, &cssHeight);
    const double ratio = emscripten_get_device_pixel_ratio();
    const int width = static_cast<int>(cssWidth * ratio + 0.5);
    const int height = static_cast<int>(cssHeight * ratio + 0.5);
    if (width < 1 || height < 1) {
        failDemoWindow("the page has no room for the picture");
        return;
    }
    emscripten_set_canvas_element_size(CANVAS, width, height);

    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    // A frame on demand stays in the canvas for the page to read after the loop has stopped.
    attributes.preserveDrawingBuffer = webTiming.onDemand ? EM_TRUE : EM_FALSE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(CANVAS, &attributes);
    if (context <= 0) {
        failDemoWindow("this browser offers no WebGL 1");
        return;
    }
    emscripten_webgl_make_context_current(context);
    if (!gles2Start(webGlProc)) {
        emscripten_webgl_destroy_context(context);
        failDemoWindow("the GL 1.1 layer cannot start on this WebGL context");
        return;
    }
    useGlCalls(gles2Calls());
    webWindow.context = context;
    webWindow.keyCount = 0;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, keyDown);
    finishDemoWindow(width, height);
}

bool windowPollEvent(DemoEvent* event)
{
    if (webWindow.keyCount == 0) {
        return false;
    }
    *event = webWindow.keys[0];
    --webWindow.keyCount;
    std::memmove(webWindow.keys, webWindow.keys + 1, sizeof(DemoEvent) * static_cast<size_t>(webWindow.keyCount));
    return true;
}

void windowPresent()
{
    if (webWindow.context != 0) {
        webNoteFrame(static_cast<double>(++webWindow.presented));
    }
}

void destroyDemoWindow()
{
    if (webWindow.context == 0) {
        return;
    }
    demoWindowProc(EVENT_DESTROY);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
    useGlCalls(nullptr);
    emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(webWindow.context);
    webWindow.context = 0;
    webWindow.keyCount = 0;
}
