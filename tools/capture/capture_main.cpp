// yarvik-capture: runs the demo exactly as the program does (same start-up, loop and scenes)
// on a virtual clock that moves one frame interval per pass, draws into an offscreen Mesa
// context, renders the music offline in lockstep, and hands every frame and its slice of
// sound to the encoder. Frame n is the demo at exactly n * 1000 / fps ms. With --profile it
// encodes nothing and records instead how long every pass took on the wall clock.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "music/player.h"
#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/window.h"
#include "shell/window_offscreen.h"
#include "tools/capture/capture.h"
#include "yarvik_version.h"

// How long the demo runs, for the progress estimate only: the module plus the last fade.
static constexpr double EXPECTED_DEMO_SECONDS = 112.8;

static CaptureOptions options;
static FILE* videoPipe = nullptr;     // ffmpeg's standard input (mp4)
static WavFile wav;                   // the sound track (directory) or its temporary file (mp4)
static std::string videoTemp;
static std::string audioTemp;
static int64_t pumps = 0;             // pumpMessages calls so far
static int64_t framesKept = 0;
static bool failed = false;
static std::chrono::steady_clock::time_point wallStart;
static int16_t audioSlice[MIXING_RATE * OUTPUT_CHANNELS];  // one frame interval at >= 1 fps

// One pass of the main loop as the profile sees it: from the end of the loop test that began
// it to the start of the next one's hand-over, so the drawing and the glFinish that waits for
// the renderer, but not the music rendered between passes, which is timed on its own.
struct ProfiledPass {
    int64_t frame;
    int scene;
    double passMs;
    double audioMs;
    int audioFrames;
};
static std::vector<ProfiledPass> profiledPasses;
static std::chrono::steady_clock::time_point passStart;
static int passScene = 0;

static double msSince(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

static void reportFailure(const std::string& what)
{
    if (!failed) {
        std::fprintf(stderr, "\nyarvik-capture: %s\n", what.c_str());
    }
    failed = true;
    running = 0;
}

static bool keeps(double seconds)
{
    return seconds >= options.from && (options.to < 0.0 || seconds < options.to);
}

static void showProgress(int64_t frame, double demoSeconds, bool last)
{
    static double lastShown = -1.0;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (!last && wall - lastShown < 0.2) {
        return;
    }
    lastShown = wall;
    double total = options.to >= 0.0 ? options.to : EXPECTED_DEMO_SECONDS;
    double done = demoSeconds / total;
    done = done > 1.0 ? 1.0 : done;
    double speed = wall > 0.0 ? demoSeconds / wall : 0.0;
    double left = speed > 0.0 ? (total - demoSeconds) / speed : 0.0;
    left = left < 0.0 ? 0.0 : left;
    char bar[31];
    int filled = static_cast<int>(done * 30.0);
    for (int i = 0; i < 30; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[30] = '\0';
    std::fprintf(stderr, "\r[%s] frame %lld  demo %6.2f s  %4.2fx real time  %d:%02d left ", bar,
                 static_cast<long long>(frame), demoSeconds, speed, static_cast<int>(left) / 60,
                 static_cast<int>(left) % 60);
    if (last) {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

static void keepFrame(const uint8_t* rgba, int64_t frame)
{
    if (options.toDirectory) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(framesKept));
        if (!writePng(options.out + name, rgba, OFFSCREEN_WIDTH, OFFSCREEN_HEIGHT)) {
            reportFailure("cannot write " + options.out + name);
        }
    } else if (std::fwrite(rgba, OFFSCREEN_WIDTH * 4, OFFSCREEN_HEIGHT, videoPipe) != OFFSCREEN_HEIGHT) {
        reportFailure("the encoder stopped taking frames (see ffmpeg's message above)");
    }
    ++framesKept;
    (void)frame;
}

// Every loop test of the demo: the frame drawn by the pass before (frame k-1) is kept with the
// sound of its interval, and the clock moves on to frame k, after rendering the sound up to
// it so that beats whose rows start before frame k are raised before its step.
static void present(const uint8_t* rgba)
{
    const auto passEnd = std::chrono::steady_clock::now();
    const bool profiling = !options.profile.empty();
    const int64_t k = pumps++;
    if (k > 0) {
        const int64_t frame = k - 1;
        const double seconds = static_cast<double>(frameStartMs(options, frame)) / 1000.0;
        if (options.to >= 0.0 && seconds >= options.to) {
            running = 0;
            return;
        }
        const int64_t from = frameStartSample(options, frame, MIXING_RATE);
        const int count = static_cast<int>(frameStartSample(options, k, MIXING_RATE) - from);
        offlineAudioRender(audioSlice, count);
        if (profiling) {
            const double audioMs = msSince(passEnd, std::chrono::steady_clock::now());
            profiledPasses.push_back(ProfiledPass{frame, passScene, msSince(passStart, passEnd), audioMs, count});
        } else if (keeps(seconds)) {
            keepFrame(rgba, frame);
            wavWrite(&wav, audioSlice, count);
        }
        if (!profiling && isatty(STDERR_FILENO)) {
            showProgress(frame, seconds, false);
        }
    }
    virtualClockSet(frameStartMs(options, k));
    if (profiling) {
        passScene = demoSceneIndex();
        passStart = std::chrono::steady_clock::now();
    }
}

// The profile as CSV, one row per pass in order; false when it cannot be written.
static bool writeProfile()
{
    FILE* f = std::fopen(options.profile.c_str(), "w");
    if (f == nullptr) {
        std::fprintf(stderr, "yarvik-capture: cannot write %s\n", options.profile.c_str());
        return false;
    }
    std::fputs("frame,demo_ms,scene,pass_ms,audio_ms,audio_frames\n", f);
    for (const ProfiledPass& p : profiledPasses) {
        std::fprintf(f, "%lld,%lld,%d,%.4f,%.4f,%d\n", static_cast<long long>(p.frame),
                     static_cast<long long>(frameStartMs(options, p.frame)), p.scene, p.passMs, p.audioMs,
                     p.audioFrames);
    }
    return std::fclose(f) == 0;
}

static bool commandExists(const char* name)
{
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

static bool openSinks()
{
    if (options.toDirectory) {
        if (mkdir(options.out.c_str(), 0755) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "yarvik-capture: cannot create the directory %s\n", options.out.c_str());
            return false;
        }
        audioTemp = options.out + "/audio.wav";
    } else {
        if (!commandExists("ffmpeg")) {
            std::fprintf(stderr,
                         "yarvik-capture: the ffmpeg program is needed for .mp4 output and is not installed "
                         "(apt-get install ffmpeg), or capture PNG frames and a WAV with --out DIR\n");
            return false;
        }
        videoTemp = options.out + ".video.mp4";
        audioTemp = options.out + ".audio.wav";
        char cmd[1024];
        std::snprintf(cmd, sizeof cmd,
                      "ffmpeg -nostdin -loglevel error -y -f rawvideo -pix_fmt rgba -s %dx%d -framerate %lld/%lld "
                      "-i - -vf vflip -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p '%s'",
                      OFFSCREEN_WIDTH, OFFSCREEN_HEIGHT, static_cast<long long>(options.fpsNum),
                      static_cast<long long>(options.fpsDen), videoTemp.c_str());
        videoPipe = popen(cmd, "w");
        if (videoPipe == nullptr) {
            std::fprintf(stderr, "yarvik-capture: cannot start ffmpeg\n");
            return false;
        }
    }
    if (!wavOpen(&wav, audioTemp, MIXING_RATE, OUTPUT_CHANNELS)) {
        std::fprintf(stderr, "yarvik-capture: cannot write %s\n", audioTemp.c_str());
        return false;
    }
    return true;
}

static bool closeSinks()
{
    wavClose(&wav);
    if (options.toDirectory) {
        return true;
    }
    bool ok = pclose(videoPipe) == 0;
    videoPipe = nullptr;
    if (ok) {
        std::string cmd = "ffmpeg -nostdin -loglevel error -y -i '" + videoTemp + "' -i '" + audioTemp +
                          "' -map 0:v -map 1:a -c:v copy -c:a aac -b:a 192k -movflags +faststart '" + options.out +
                          "'";
        ok = std::system(cmd.c_str()) == 0;
    }
    std::remove(videoTemp.c_str());
    std::remove(audioTemp.c_str());
    if (!ok) {
        std::fprintf(stderr, "yarvik-capture: encoding %s failed\n", options.out.c_str());
    }
    return ok;
}

// Runs the demo once without output and writes the profile. Returns the exit status.
static int profileRun()
{
    std::fprintf(stderr, "yarvik-capture: profiling into %s at %lld/%lld fps, seed %u\n", options.profile.c_str(),
                 static_cast<long long>(options.fpsNum), static_cast<long long>(options.fpsDen), options.seed);
    virtualClockSeed(options.seed);
    virtualClockSet(0);
    offscreenPresent = present;
    profiledPasses.reserve(1 << 14);
    wallStart = std::chrono::steady_clock::now();

    int status = demoMain();

    double wall = msSince(wallStart, std::chrono::steady_clock::now()) / 1000.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    bool written = writeProfile();
    std::fprintf(stderr, "yarvik-capture: %zu passes profiled in %.1f s, peak resident memory %ld KiB\n",
                 profiledPasses.size(), wall, usage.ru_maxrss);
    return status != 0 || !written ? 1 : 0;
}

int main(int argc, char** argv)
{
    keepHeapTop();
    std::string error = parseCaptureArgs(argc, argv, &options);
    if (!error.empty()) {
        std::fprintf(stderr, "yarvik-capture: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(CAPTURE_USAGE, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("yarvik-capture %s\n", YARVIK_VERSION);
        return 0;
    }
    if (!options.seedGiven) {
        options.seed = static_cast<unsigned int>(std::time(nullptr));
    }
    if (!options.profile.empty()) {
        return profileRun();
    }
    std::fprintf(stderr, "yarvik-capture: %s at %lld/%lld fps, seed %u\n", options.out.c_str(),
                 static_cast<long long>(options.fpsNum), static_cast<long long>(options.fpsDen), options.seed);
    std::signal(SIGPIPE, SIG_IGN);
    if (!openSinks()) {
        return 1;
    }
    virtualClockSeed(options.seed);
    virtualClockSet(0);
    offscreenPresent = present;
    wallStart = std::chrono::steady_clock::now();

    int status = demoMain();

    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    double demoSeconds = static_cast<double>(frameStartMs(options, pumps > 0 ? pumps - 1 : 0)) / 1000.0;
    if (isatty(STDERR_FILENO)) {
        showProgress(pumps > 1 ? pumps - 2 : 0, demoSeconds, true);
    }
    bool encoded = closeSinks();
    std::fprintf(stderr, "yarvik-capture: %lld frames kept, %.2f s of demo in %.1f s (%.2fx real time)\n",
                 static_cast<long long>(framesKept), demoSeconds, wall, wall > 0 ? demoSeconds / wall : 0.0);
    if (status != 0 || failed || !encoded) {
        return 1;
    }
    return 0;
}
