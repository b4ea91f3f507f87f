// Start-up of the real program, step by step. This is the real program (the same start-up and
// loop on the SDL2 window, sound output and clock, linked the same way), handed the demo's own
// parts with each start-up step timed where the loop calls it (the parts table, shell/scenes.h).
// Inside the window step, the SDL and GL calls that make it are wrapped at link time
// (-Wl,--wrap), all of them C functions. It stops after the first frame with a picture has been
// presented.
//
//   startup_profile [--launched-at NS]   NS: CLOCK_REALTIME nanoseconds at which the caller
//                                        started this process (otherwise /proc/self/stat)
//   startup_profile --watch PROGRAM [--seconds S]
//       runs PROGRAM (the real binary, untouched) and reports when its window is mapped, then
//       asks it to close after S seconds (default 2; 0: let it end by itself) and reports its
//       peak resident memory.
//
// Output: one "name milliseconds" line per figure on stdout, times from process start.
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/scenes.h"
#include "shell/window.h"

// The linker sends the program's calls of each wrapped function to __wrap_<symbol> and makes
// __real_<symbol> the function itself.
extern "C" {
int __real_SDL_InitSubSystem(uint32_t flags);
void* __real_SDL_CreateWindow(const char* title, int x, int y, int w, int h, uint32_t flags);
void* __real_SDL_GL_CreateContext(void* window);
void __real_SDL_ShowWindow(void* window);
void __real_SDL_GL_SwapWindow(void* window);
unsigned int __real_glGenLists(int range);
}

namespace {

constexpr int MAX_MARKS = 32;

struct Mark {
    const char* name;
    double ms;  // since process start
};

double processStartMs = 0.0;  // CLOCK_REALTIME, ms
Mark marks[MAX_MARKS];
int markCount = 0;
int swaps = 0;

double realtimeMs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

void mark(const char* name)
{
    if (markCount < MAX_MARKS) {
        marks[markCount++] = Mark{name, realtimeMs() - processStartMs};
    }
}

// The kernel's record of when this process started, in clock ticks since boot, turned into
// wall-clock time through the boot clock. Good to one tick (10 ms).
double processStartFromProc()
{
    FILE* f = std::fopen("/proc/self/stat", "r");
    if (f == nullptr) {
        return realtimeMs();
    }
    char line[1024];
    size_t n = std::fread(line, 1, sizeof line - 1, f);
    std::fclose(f);
    line[n] = '\0';
    const char* p = std::strrchr(line, ')');
    unsigned long long startTicks = 0;
    if (p != nullptr) {
        // Fields after the command: state is field 3, starttime field 22.
        int field = 2;
        for (; *p != '\0' && field < 22; ++p) {
            if (*p == ' ') {
                ++field;
            }
        }
        startTicks = std::strtoull(p, nullptr, 10);
    }
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double bootMs = static_cast<double>(boot.tv_sec) * 1000.0 + static_cast<double>(boot.tv_nsec) / 1.0e6;
    const double startMs = static_cast<double>(startTicks) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return realtimeMs() - (bootMs - startMs);
}

void printMarks()
{
    double previous = 0.0;
    for (int i = 0; i < markCount; ++i) {
        std::printf("%s %.3f %.3f\n", marks[i].name, marks[i].ms, marks[i].ms - previous);
        previous = marks[i].ms;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_kib %ld\n", usage.ru_maxrss);
}

// Runs the real program, timing the mapping of its window; peak memory from wait4.
int watch(const char* program, double seconds)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "startup_profile: cannot open the display\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const double launched = realtimeMs();
    pid_t child = fork();
    if (child == 0) {
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    double mapped = -1.0;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) {
            mapped = realtimeMs() - launched;
            break;
        }
    }
    XCloseDisplay(display);
    std::printf("real_window_mapped %.3f\n", mapped);
    std::fflush(stdout);
    if (seconds > 0.0) {
        usleep(static_cast<useconds_t>(seconds * 1.0e6));
        kill(child, SIGINT);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    std::printf("real_run_seconds %.3f\n", (realtimeMs() - launched) / 1000.0);
    std::printf("real_peak_rss_kib %ld\n", usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

}  // namespace

// The parts the loop is handed: the demo's own, each start-up step marked when it is done.
namespace {

// The window step ends where the loop goes on to the sound device.
void timedStartSound()
{
    mark("window.font_lists");
    mark("window_gl_font");
    demoParts.startSound();
    mark("sound_device");
}

void timedPrepareScenes()
{
    demoParts.prepareScenes();
    mark("particles");
}

void timedKnotInit()
{
    demoParts.scenes[0].init();
    mark("knot_init");
}

void timedTunnelInit()
{
    demoParts.scenes[1].init();
    mark("tunnel_init");
}

// The module is located and started: both count to this step.
int timedPlayModule(const unsigned char* bytes, uint32_t length)
{
    const int played = demoParts.playModule(bytes, length);
    mark(played ? "module_load_play" : "module_not_played");
    return played;
}

DemoParts timedParts()
{
    DemoParts parts = demoParts;
    parts.startSound = timedStartSound;
    parts.prepareScenes = timedPrepareScenes;
    parts.scenes[0].init = timedKnotInit;
    parts.scenes[1].init = timedTunnelInit;
    parts.playModule = timedPlayModule;
    return parts;
}

}  // namespace

// The wrapped functions, in the order the window step calls them: SDL's video, the window
// (with the display mode and, through GLX, the software renderer's driver), the GL context, the
// standing GL state and the font's display lists.
extern "C" {
int __wrap_SDL_InitSubSystem(uint32_t flags)
{
    int result = __real_SDL_InitSubSystem(flags);
    if ((flags & 0x20u) != 0) {  // SDL_INIT_VIDEO
        mark("window.sdl_video");
    }
    return result;
}

void* __wrap_SDL_CreateWindow(const char* title, int x, int y, int w, int h, uint32_t flags)
{
    void* window = __real_SDL_CreateWindow(title, x, y, w, h, flags);
    mark("window.create");
    return window;
}

// Full screen shows the window before the context is made (and again, at once, after it);
// windowed only after it. The first showing is the one timed.
void __wrap_SDL_ShowWindow(void* window)
{
    static bool shown = false;
    if (shown) {
        __real_SDL_ShowWindow(window);
        return;
    }
    shown = true;
    mark("window.mode");
    __real_SDL_ShowWindow(window);
    mark("window.show");
}

void* __wrap_SDL_GL_CreateContext(void* window)
{
    void* context = __real_SDL_GL_CreateContext(window);
    mark("window.gl_context");
    return context;
}

// The font's display lists begin by naming their 256 lists: the standing GL state is set.
unsigned int __wrap_glGenLists(int range)
{
    static bool named = false;
    if (!named) {
        named = true;
        mark("window.gl_state");
    }
    return __real_glGenLists(range);
}

// The first swap presents the still empty buffer; the second presents the first pass's
// picture. The run ends there: the pump that swapped reports the demo no longer running.
void __wrap_SDL_GL_SwapWindow(void* window)
{
    __real_SDL_GL_SwapWindow(window);
    ++swaps;
    if (swaps == 1) {
        mark("first_swap");
    } else if (swaps == 2) {
        mark("first_frame_presented");
        windowCore.running = 0;
    }
}
}  // extern "C"

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--watch") == 0) {
        double seconds = argc >= 5 && std::strcmp(argv[3], "--seconds") == 0 ? std::atof(argv[4]) : 2.0;
        return watch(argv[2], seconds);
    }
    processStartMs = argc >= 3 && std::strcmp(argv[1], "--launched-at") == 0 ? std::atof(argv[2]) / 1.0e6
                                                                              : processStartFromProc();
    mark("main");
    keepHeapTop();
    const DemoParts parts = timedParts();
    int status = demoRun(parts);
    printMarks();
    std::printf("proc_stat_start_offset %.3f\n", processStartFromProc() - processStartMs);
    return status;
}
