// The browser tests' own page: it checks on this machine's headless Chromium the few browser
// services Yarvik's browser build rests on, so that a fault there is told apart from one in
// the demo. A WebGL 1 context on the page's canvas, cleared through the emscripten_gl*
// functions once a frame from the browser's frame callback (emscripten_set_main_loop); an
// AudioContext, suspended until a click resumes it; Escape ends the loop. What it does shows
// on the console ("page: ..." and "audio: ..." lines) and in the canvas's colour: dark grey
// until the sound runs, then blue.
#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <cstdio>
#include <string_view>

struct PageState {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
    int frames;
};

static PageState page = {0, 0};

// The AudioContext lives on the page's Module object; its state changes are logged.
EM_JS(void, pageAudioCreate, (), {
    Module.audio = new AudioContext();
    Module.audio.onstatechange = function() { console.log('audio: ' + Module.audio.state); };
    console.log('audio: ' + Module.audio.state);
});

// Browsers let a context start only in answer to a gesture such as this click.
EM_JS(void, pageAudioResume, (), { Module.audio.resume(); });

EM_JS(int, pageAudioRunning, (), { return Module.audio.state === 'running' ? 1 : 0; });

static void pageFrame()
{
    if (pageAudioRunning()) {
        emscripten_glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    } else {
        emscripten_glClearColor(0.125f, 0.125f, 0.125f, 1.0f);
    }
    emscripten_glClear(GL_COLOR_BUFFER_BIT);
    ++page.frames;
    if (page.frames % 30 == 0) {
        std::printf("page: frames %d\n", page.frames);
    }
}

static EM_BOOL pageClicked(int, const EmscriptenMouseEvent*, void*)
{
    pageAudioResume();
    return EM_TRUE;
}

static EM_BOOL pageKeyDown(int, const EmscriptenKeyboardEvent* event, void*)
{
    if (std::string_view(event->key) != "Escape") {
        return EM_FALSE;
    }
    emscripten_cancel_main_loop();
    std::printf("page: stopped after %d frames\n", page.frames);
    return EM_TRUE;
}

int main()
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 1;
    attributes.alpha = EM_FALSE;
    attributes.antialias = EM_FALSE;
    page.context = emscripten_webgl_create_context("#canvas", &attributes);
    if (page.context <= 0) {
        std::printf("page: no WebGL 1 context (%d)\n", static_cast<int>(page.context));
        return 1;
    }
    emscripten_webgl_make_context_current(page.context);
    pageAudioCreate();
    emscripten_set_click_callback("#canvas", nullptr, EM_FALSE, pageClicked);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, pageKeyDown);
    std::printf("page: WebGL 1 context on the canvas\n");
    emscripten_set_main_loop(pageFrame, 0, 0);
    return 0;
}
