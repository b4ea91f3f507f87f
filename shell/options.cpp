// The real program's command line: nothing but --version and --help.
#include "shell/options.h"

#include <cstdio>
#include <cstring>

#include "yarvik_version.h"

static const char* HELP =
    "usage: yarvik [--help | --version]\n"
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
    "  --help     this text\n"
    "  --version  the version\n"
    "\n"
    "Exit status:\n"
    "  0  the demo played to its end, or was ended by Escape, by closing the window or by\n"
    "     an interrupt\n"
    "  1  no window: there is no display, or it cannot show 640x480 (the reason is given on\n"
    "     standard error)\n"
    "  2  an unknown option\n";

int parseDemoOptions(int argc, char** argv, DemoOptions* options)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            options->version = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            options->help = true;
        } else {
            std::fprintf(stderr, "yarvik: unknown option '%s' (yarvik --help lists them)\n", argv[i]);
            return EXIT_USAGE;
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
