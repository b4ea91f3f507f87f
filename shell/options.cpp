// The real program's command line: how to show the demo, --version and --help.
#include "shell/options.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "yarvik_version.h"

static const char* HELP =
    "usage: yarvik [--window [WxH] | --desktop] [--gl desktop|es2] | --help | --version\n"
    "\n"
    "Yarvik is a real-time audiovisual demo. It switches the display to 640x480, plays its\n"
    "music once and shows two OpenGL scenes in time with it: a lit tube growing along a knot,\n"
    "then a flight through a breathing tunnel with a particle pen and a text scroller. It ends\n"
    "by itself when the music has played (about two minutes). Everything it shows and plays\n"
    "is inside the program; it reads no files and writes none.\n"
    "\n"
    "Keys:\n"
    "  Escape     end the demo at once (closing the window does the same)\n"
    "\n"
    "Options:\n"
    "  --window [WxH]  in a captioned window instead: 640x480, or WxH pixels (such as\n"
    "                  1280x960); the picture keeps its 4:3 shape between black bars\n"
    "  --desktop       full screen at the display's own resolution, with no mode switch:\n"
    "                  the picture scaled to fit, centred between black bars\n"
    "  --gl es2        draw on OpenGL ES 2.0 (through the demo's own GL 1.1 on it), for\n"
    "                  systems whose driver offers only that; --gl desktop, the default,\n"
    "                  draws on desktop OpenGL\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "Exit status:\n"
    "  0  the demo played to its end, or was ended by Escape, by closing the window or by\n"
    "     an interrupt\n"
    "  1  no window: there is no display, it cannot show 640x480, or it offers no OpenGL\n"
    "     of the kind asked for (the reason is given on standard error)\n"
    "  2  an unknown option, a bad window size or GL, or both --window and --desktop\n";

// One line on standard error naming what is wrong with the command line.
__attribute__((format(printf, 1, 2))) static int refuse(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("yarvik: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputs(" (yarvik --help lists the options)\n", stderr);
    va_end(args);
    return EXIT_USAGE;
}

// --window takes the next argument as its size unless that is another option.
static int readWindowOption(int argc, char** argv, int* i, WindowRequest* window)
{
    window->mode = WINDOW_CAPTIONED;
    if (*i + 1 < argc && argv[*i + 1][0] != '-') {
        const char* size = argv[++*i];
        if (!parseOutputSize(size, &window->width, &window->height)) {
            return refuse("--window takes a size from 160x120 to 8192x8192 such as 1280x960, not '%s'", size);
        }
    }
    return OPTIONS_RUN;
}

int parseDemoOptions(int argc, char** argv, DemoOptions* options)
{
    bool placed = false;  // --window or --desktop seen
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (std::strcmp(option, "--version") == 0) {
            options->version = true;
        } else if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
            options->help = true;
        } else if (std::strcmp(option, "--window") == 0 || std::strcmp(option, "--desktop") == 0) {
            if (placed) {
                return refuse("'%s' after another --window or --desktop: choose one way to show the demo", option);
            }
            placed = true;
            if (std::strcmp(option, "--desktop") == 0) {
                options->window.mode = WINDOW_DESKTOP;
            } else if (int status = readWindowOption(argc, argv, &i, &options->window); status != OPTIONS_RUN) {
                return status;
            }
        } else if (std::strcmp(option, "--gl") == 0) {
            const char* gl = i + 1 < argc ? argv[++i] : "";
            if (std::strcmp(gl, "desktop") == 0) {
                options->window.gl = WINDOW_GL_DESKTOP;
            } else if (std::strcmp(gl, "es2") == 0) {
                options->window.gl = WINDOW_GL_ES2;
            } else {
                return refuse("--gl takes desktop or es2, not '%s'", gl);
            }
        } else {
            return refuse("unknown option '%s'", option);
        }
    }
    if (!options->help && !options->version) {
        return OPTIONS_RUN;
    }
    if (options->help) {
        std::fputs(HELP, stdout);
    } else {
        std::printf("yarvik %s\n", YARVIK_VERSION);
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "yarvik: cannot write to standard output\n");
        return EXIT_FAILED;
    }
    return EXIT_DONE;
}
