// The capture tool's command line.
#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "tools/capture/capture.h"

const char* CAPTURE_USAGE =
    "usage: yarvik-capture --out FILE.mp4|DIR | --profile FILE.csv [--fps N|N/M] [--size WxH] [--samples N]\n"
    "                      [--gl desktop|es2] [--from S] [--to S] [--seed N]\n"
    "Renders the demo frame by frame on a virtual clock, with no display or sound device.\n"
    "  --out FILE.mp4  H.264 video with AAC audio, encoded by the ffmpeg program\n"
    "  --out DIR       PNG frames (frame_000000.png, ...) and audio.wav in a new or empty directory\n"
    "  --profile FILE.csv  no output: the wall time of every pass (drawing and glFinish) and the\n"
    "                  scene it drew, and the time spent rendering the music, one row per frame\n"
    "  --fps N         frames per second, whole or a fraction such as 60000/1001 (default 60)\n"
    "  --size WxH      frame size from 160x120 to 8192x8192 (default 640x480); the picture is\n"
    "                  drawn at that resolution into the largest 4:3 area, between black bars\n"
    "                  (1920x1080 for a 16:9 video, 2880x2160 for 4:3 at 4K); even for an MP4\n"
    "  --samples N     N samples per pixel (multisampled anti-aliasing) where the GL offers\n"
    "                  that many; default 1, none\n"
    "  --gl es2        draw through OpenGL ES 2 (the demo's GL 1.1 layer on it) instead of\n"
    "                  desktop GL, the default\n"
    "  --from S        first second of demo time to keep (earlier frames are run, not kept)\n"
    "  --to S          demo time at which to stop (default: the demo's own end)\n"
    "  --seed N        seed of the random generator, for reproducible captures\n"
    "  --help          this text\n"
    "  --version       the version\n";

static constexpr int64_t MAX_SAMPLES = 32;

// Digits only: strtoll would also take leading blanks and a sign.
static bool parseWhole(const char* text, int64_t max, int64_t* value)
{
    if (*text < '0' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v <= 0 || v > max) {
        return false;
    }
    *value = v;
    return true;
}

// A decimal number of seconds ("2", "0.5", ".5", "1e2"); strtod would also take leading
// blanks, a sign, hexadecimal, "inf" and "nan".
static bool parseSeconds(const char* text, double* value)
{
    if (((*text < '0' || *text > '9') && *text != '.') || std::strspn(text, "0123456789.eE+-") != std::strlen(text)) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !(v >= 0.0) || v > 1.0e6) {
        return false;
    }
    *value = v;
    return true;
}

// "60", "60000/1001" or "59.94" (decimal: up to three places); from 1 to 1000 frames per
// second exactly, so that one frame interval never holds more than a second of sound.
static bool parseFps(const char* text, int64_t* num, int64_t* den)
{
    const int64_t MAX = 1000000;
    const char* slash = std::strchr(text, '/');
    const char* dot = std::strchr(text, '.');
    if (slash != nullptr) {
        std::string a(text, slash);
        if (!parseWhole(a.c_str(), MAX, num) || !parseWhole(slash + 1, MAX, den)) {
            return false;
        }
    } else if (dot != nullptr) {
        std::string whole(text, dot);
        std::string frac(dot + 1);
        if (frac.empty() || frac.size() > 3 || frac.find_first_not_of("0123456789") != std::string::npos ||
            whole.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        int64_t scale = 1;
        for (size_t i = 0; i < frac.size(); ++i) {
            scale *= 10;
        }
        std::string digits = whole + frac;
        size_t first = digits.find_first_not_of('0');
        if (first == std::string::npos || !parseWhole(digits.c_str() + first, MAX * 1000, num)) {
            return false;
        }
        *den = scale;
    } else {
        *den = 1;
        if (!parseWhole(text, MAX, num)) {
            return false;
        }
    }
    return *num >= *den && *num <= 1000 * *den;
}

std::string parseCaptureArgs(int argc, char** argv, CaptureOptions* o)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o->help = true;
            return "";
        }
        if (arg == "--version") {
            o->version = true;
            return "";
        }
        if (arg != "--out" && arg != "--profile" && arg != "--fps" && arg != "--from" && arg != "--to" &&
            arg != "--seed" && arg != "--size" && arg != "--samples" && arg != "--gl") {
            return "unknown argument '" + arg + "' (see --help)";
        }
        if (i + 1 >= argc) {
            return arg + " needs a value";
        }
        const char* value = argv[++i];
        if (arg == "--out") {
            o->out = value;
        } else if (arg == "--profile") {
            o->profile = value;
        } else if (arg == "--fps") {
            if (!parseFps(value, &o->fpsNum, &o->fpsDen)) {
                return std::string("--fps takes a rate such as 60, 60000/1001 or 59.94 (1 to 1000), not '") + value + "'";
            }
        } else if (arg == "--size") {
            if (!parseOutputSize(value, &o->width, &o->height)) {
                return std::string("--size takes a size from 160x120 to 8192x8192 such as 1920x1080, not '") + value +
                       "'";
            }
        } else if (arg == "--samples") {
            int64_t samples = 0;
            if (!parseWhole(value, MAX_SAMPLES, &samples)) {
                return std::string("--samples takes a whole number from 1 to 32, not '") + value + "'";
            }
            o->samples = static_cast<int>(samples);
        } else if (arg == "--gl") {
            if (std::strcmp(value, "desktop") != 0 && std::strcmp(value, "es2") != 0) {
                return std::string("--gl takes desktop or es2, not '") + value + "'";
            }
            o->gles2 = std::strcmp(value, "es2") == 0;
        } else if (arg == "--from") {
            if (!parseSeconds(value, &o->from)) {
                return std::string("--from takes seconds of demo time, not '") + value + "'";
            }
        } else if (arg == "--to") {
            if (!parseSeconds(value, &o->to)) {
                return std::string("--to takes seconds of demo time, not '") + value + "'";
            }
        } else {
            int64_t seed = 0;
            if (std::strcmp(value, "0") == 0) {
                seed = 0;
            } else if (!parseWhole(value, UINT_MAX, &seed)) {
                return std::string("--seed takes a whole number from 0 to 4294967295, not '") + value + "'";
            }
            o->seed = static_cast<unsigned int>(seed);
            o->seedGiven = true;
        }
    }
    if (!o->out.empty() && !o->profile.empty()) {
        return "--out and --profile exclude each other";
    }
    if (o->out.empty() && o->profile.empty()) {
        return "--out is required (a .mp4 file or a directory for PNG frames), or --profile FILE.csv";
    }
    if (o->to >= 0.0 && o->to <= o->from) {
        return "--to must be later than --from";
    }
    size_t n = o->out.size();
    o->toDirectory = !(n >= 4 && strcasecmp(o->out.c_str() + n - 4, ".mp4") == 0);
    if (!o->toDirectory && (n == 4 || o->out[n - 5] == '/')) {
        return "--out needs a name before .mp4, such as yarvik.mp4";
    }
    // H.264 in 4:2:0 halves the colour in both directions: the encoder takes even sizes only.
    if (!o->out.empty() && !o->toDirectory && (o->width % 2 != 0 || o->height % 2 != 0)) {
        return "an MP4 needs an even --size such as 1920x1080 (PNG frames take any)";
    }
    return "";
}

int64_t frameStartMs(const CaptureOptions& o, int64_t n)
{
    return n * 1000 * o.fpsDen / o.fpsNum;
}

int64_t frameStartSample(const CaptureOptions& o, int64_t n, int rate)
{
    return n * rate * o.fpsDen / o.fpsNum;
}
