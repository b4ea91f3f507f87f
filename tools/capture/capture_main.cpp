// yarvik-capture: runs the demo exactly as the program does (same start-up, loop and scenes)
// on a virtual clock that moves one frame interval per pass, draws into an offscreen GL
// context of the frame size asked for, renders the music offline in lockstep, and hands every
// frame and its slice of sound to the encoder. Frame n is the demo at exactly n * 1000 / fps
// ms. With --profile it encodes nothing and records instead how long every pass took on the
// wall clock.
// A close request (Ctrl-C, SIGTERM, SIGHUP, SIGQUIT) stops the run, stops ffmpeg, removes the
// temporary files and ends with status 128 + the signal number.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "music/player.h"
#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/process.h"
#include "shell/window.h"
#include "shell/window_offscreen.h"
#include "tools/capture/capture.h"
#include "yarvik_version.h"

// How long the demo runs, for the progress estimate only: the module plus the last fade.
static constexpr double EXPECTED_DEMO_SECONDS = 112.8;

static CaptureOptions options;
static WavFile wav;                   // the sound track (directory) or its temporary file (mp4)
static std::string videoTemp;
static std::string audioPath;
static int64_t pumps = 0;             // pumpMessages calls so far
static int64_t framesKept = 0;
static bool failed = false;
static int interruptSignal = 0;       // the close request that stopped the run, or 0
static std::chrono::steady_clock::time_point wallStart;
static std::vector<int16_t> audioSlice;  // the sound of one frame interval at the chosen rate
static int64_t audioSliceFrames = 0;
static FILE* profileFile = nullptr;

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

static bool interrupted()
{
    if (interruptSignal == 0) {
        interruptSignal = takeCloseSignal();
    }
    return interruptSignal != 0;
}

// The first failure is reported; any failure ends the run. After an interrupt nothing is
// reported: ffmpeg may have gone first, and the write to it failed for that reason.
static void reportFailure(const std::string& what)
{
    if (!failed && !interrupted()) {
        std::fprintf(stderr, "\nyarvik-capture: %s\n", what.c_str());
    }
    failed = true;
    demoRunning = 0;
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
        if (!writePng(options.out + name, rgba, options.width, options.height)) {
            reportFailure("cannot write " + options.out + name);
        }
    } else if (std::fwrite(rgba, static_cast<size_t>(options.width) * 4, static_cast<size_t>(options.height),
                           ffmpegFrames()) != static_cast<size_t>(options.height)) {
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
    if (interrupted() || failed) {
        demoRunning = 0;
        return;
    }
    const int64_t k = pumps++;
    if (k > 0) {
        const int64_t frame = k - 1;
        const double seconds = static_cast<double>(frameStartMs(options, frame)) / 1000.0;
        if (options.to >= 0.0 && seconds >= options.to) {
            demoRunning = 0;
            return;
        }
        const int64_t from = frameStartSample(options, frame, MIXING_RATE);
        const int64_t count = frameStartSample(options, k, MIXING_RATE) - from;
        if (count > audioSliceFrames) {
            reportFailure("a frame interval holds more sound than its buffer");
            return;
        }
        offlineAudioRender(audioSlice.data(), static_cast<int>(count));
        if (profiling) {
            const double audioMs = msSince(passEnd, std::chrono::steady_clock::now());
            profiledPasses.push_back(
                ProfiledPass{frame, passScene, msSince(passStart, passEnd), audioMs, static_cast<int>(count)});
        } else if (keeps(seconds)) {
            keepFrame(rgba, frame);
            if (!wavWrite(&wav, audioSlice.data(), static_cast<int>(count))) {
                reportFailure("cannot write " + audioPath + ": " + std::strerror(errno));
            }
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

// The profile as CSV into the file opened before the run, one row per pass in order; false,
// reported, when it could not be written in full.
static bool writeProfile()
{
    FILE* f = profileFile;
    profileFile = nullptr;
    std::fputs("frame,demo_ms,scene,pass_ms,audio_ms,audio_frames\n", f);
    for (const ProfiledPass& p : profiledPasses) {
        std::fprintf(f, "%lld,%lld,%d,%.4f,%.4f,%d\n", static_cast<long long>(p.frame),
                     static_cast<long long>(frameStartMs(options, p.frame)), p.scene, p.passMs, p.audioMs,
                     p.audioFrames);
    }
    bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "yarvik-capture: cannot write %s\n", options.profile.c_str());
        return false;
    }
    return true;
}

// A folder for the frames: a new one, or an empty one, so that frames of an earlier capture
// never mix with these.
static bool openFrameFolder()
{
    const char* dir = options.out.c_str();
    if (mkdir(dir, 0755) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        std::fprintf(stderr, "yarvik-capture: cannot create the folder %s: %s\n", dir, std::strerror(errno));
        return false;
    }
    DIR* folder = opendir(dir);
    if (folder == nullptr) {
        std::fprintf(stderr, "yarvik-capture: %s exists and is not a folder that can be read\n", dir);
        return false;
    }
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        empty = empty && (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0);
    }
    closedir(folder);
    if (!empty) {
        std::fprintf(stderr, "yarvik-capture: %s already holds files; give a new or empty folder\n", dir);
    }
    return empty;
}

// The sound track first, then ffmpeg, so that nothing is left running when the track cannot
// be written.
static bool openSinks()
{
    if (options.toDirectory) {
        if (!openFrameFolder()) {
            return false;
        }
        audioPath = options.out + "/audio.wav";
    } else {
        videoTemp = options.out + ".video.mp4";
        audioPath = options.out + ".audio.wav";
    }
    if (!wavOpen(&wav, audioPath, MIXING_RATE, OUTPUT_CHANNELS)) {
        std::fprintf(stderr, "yarvik-capture: cannot write %s: %s\n", audioPath.c_str(), std::strerror(errno));
        wavClose(&wav);
        return false;
    }
    if (options.toDirectory) {
        return true;
    }
    int error = ffmpegStartEncoder(options, options.width, options.height, videoTemp);
    if (error == 0) {
        return true;
    }
    wavClose(&wav);
    std::remove(audioPath.c_str());
    if (error == ENOENT) {
        std::fprintf(stderr,
                     "yarvik-capture: the ffmpeg program is needed for .mp4 output and is not installed "
                     "(apt-get install ffmpeg), or capture PNG frames and a WAV with --out DIR\n");
    } else {
        std::fprintf(stderr, "yarvik-capture: cannot start ffmpeg: %s\n", std::strerror(error));
    }
    return false;
}

// Completes the sound track and, for an MP4, lets ffmpeg finish and join picture and sound.
// Every file is checked: a run that wrote less than asked says which file and fails.
static bool closeSinks()
{
    if (!wavClose(&wav)) {
        reportFailure("cannot write " + audioPath + " in full");
    }
    if (options.toDirectory) {
        return !failed;
    }
    if (!ffmpegFinishEncoder(interrupted)) {
        reportFailure("encoding " + videoTemp + " failed (see ffmpeg's message above)");
    }
    if (!failed) {
        unlink(options.out.c_str());  // ffmpeg would overwrite it; gone, it cannot pass for new
        struct stat written {};
        if (!ffmpegMux(videoTemp, audioPath, options.out, interrupted)) {
            reportFailure("encoding " + options.out + " failed (see ffmpeg's message above)");
        } else if (stat(options.out.c_str(), &written) != 0 || written.st_size == 0) {
            reportFailure("ffmpeg reported success but wrote nothing to " + options.out);
        }
        if (failed) {
            unlink(options.out.c_str());
        }
    }
    std::remove(videoTemp.c_str());
    std::remove(audioPath.c_str());
    return !failed;
}

// After a close request: ffmpeg stopped, the temporary files of an MP4 removed, a profile not
// written. Returns the exit status, 128 + the signal number as a shell reports it.
static int endInterrupted()
{
    ffmpegStop();
    wavClose(&wav);
    if (profileFile != nullptr) {
        std::fclose(profileFile);
        profileFile = nullptr;
        std::remove(options.profile.c_str());
    } else if (!options.toDirectory) {
        std::remove(videoTemp.c_str());
        std::remove(audioPath.c_str());
    }
    std::fprintf(stderr, "\nyarvik-capture: interrupted\n");
    return 128 + interruptSignal;
}

// The offscreen window for the frames asked for, then the demo on the virtual clock from 0.
static int runDemo()
{
    offscreenGles2 = options.gles2;
    windowRequest = WindowRequest{WINDOW_DISPLAY_MODE, options.width, options.height,
                                  options.samples > 1 ? options.samples : 0};
    virtualClockSeed(options.seed);
    virtualClockSet(0);
    offscreenPresent = present;
    wallStart = std::chrono::steady_clock::now();
    return demoMain();
}

static long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs the demo once without output and writes the profile. Returns the exit status.
static int profileRun()
{
    profileFile = std::fopen(options.profile.c_str(), "w");
    if (profileFile == nullptr) {
        std::fprintf(stderr, "yarvik-capture: cannot write %s: %s\n", options.profile.c_str(), std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "yarvik-capture: profiling into %s at %lld/%lld fps, %dx%d, seed %u\n",
                 options.profile.c_str(), static_cast<long long>(options.fpsNum), static_cast<long long>(options.fpsDen),
                 options.width, options.height, options.seed);
    profiledPasses.reserve(1 << 14);

    int status = runDemo();
    if (interrupted()) {
        return endInterrupted();
    }

    double wall = msSince(wallStart, std::chrono::steady_clock::now()) / 1000.0;
    bool written = writeProfile();
    std::fprintf(stderr, "yarvik-capture: %zu passes profiled in %.1f s, peak resident memory %ld KiB\n",
                 profiledPasses.size(), wall, peakResidentKiB());
    return status != 0 || !written ? 1 : 0;
}

int main(int argc, char** argv)
{
    prepareProcess();
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
    audioSliceFrames = (MIXING_RATE * options.fpsDen + options.fpsNum - 1) / options.fpsNum;
    audioSlice.assign(static_cast<size_t>(audioSliceFrames * OUTPUT_CHANNELS), 0);
    if (!options.profile.empty()) {
        return profileRun();
    }
    std::fprintf(stderr, "yarvik-capture: %s at %lld/%lld fps, %dx%d, seed %u\n", options.out.c_str(),
                 static_cast<long long>(options.fpsNum), static_cast<long long>(options.fpsDen), options.width,
                 options.height, options.seed);
    if (!openSinks()) {
        return 1;
    }

    int status = runDemo();

    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    double demoSeconds = static_cast<double>(frameStartMs(options, pumps > 0 ? pumps - 1 : 0)) / 1000.0;
    if (isatty(STDERR_FILENO) && !interrupted()) {
        showProgress(pumps > 1 ? pumps - 2 : 0, demoSeconds, true);
    }
    if (framesKept == 0 && !failed && !interrupted()) {
        char why[96];
        std::snprintf(why, sizeof why, "nothing captured: the demo ended at %.2f s, before --from %g", demoSeconds,
                      options.from);
        reportFailure(why);
    }
    bool encoded = !interrupted() && closeSinks();
    if (interrupted()) {
        return endInterrupted();
    }
    std::fprintf(stderr,
                 "yarvik-capture: %lld frames kept, %.2f s of demo in %.1f s (%.2fx real time), peak resident memory "
                 "%ld KiB\n",
                 static_cast<long long>(framesKept), demoSeconds, wall, wall > 0 ? demoSeconds / wall : 0.0,
                 peakResidentKiB());
    if (status != 0 || failed || !encoded) {
        return 1;
    }
    return 0;
}
