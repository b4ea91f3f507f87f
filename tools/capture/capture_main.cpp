// yarvik-capture: runs the demo exactly as the program does (same start-up, loop and scenes)
// on a virtual clock that moves one frame interval per pass, draws into an offscreen GL
// context of the frame size asked for, renders the music offline in lockstep, and hands every
// frame and its slice of sound to the encoder. Frame n is the demo at exactly n * 1000 / fps
// ms. With --profile it encodes nothing and records instead how long every pass took on the
// wall clock.
// What it writes reaches the name asked for only once complete (an MP4 once ffprobe finds in
// it the streams, frames and length asked for); until then it lives under temporary names
// beside it (destination.cpp). Any failure is one line on standard error and status 1, and a
// close request (Ctrl-C, SIGTERM, SIGHUP, SIGQUIT) stops the run and ffmpeg at once and ends
// with status 128 + the signal number: either way every temporary file is removed and an
// earlier file of that name is left as it was.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "music/player.h"
#include "platform/gles2/gles2.h"
#include "platform/offscreen/output_offline.h"
#include "platform/offscreen/virtual_clock.h"
#include "platform/offscreen/window_offscreen.h"
#include "shell/demo.h"
#include "shell/heap.h"
#include "shell/process.h"
#include "shell/window.h"
#include "tools/capture/capture.h"
#include "yarvik_version.h"

// How long the demo runs, for the progress estimate only: the module plus the last fade.
static constexpr double EXPECTED_DEMO_SECONDS = 112.8;
// One frame interval holds at most a second of sound: the rate is at least 1 fps.
static constexpr int64_t MAX_SLICE_FRAMES = MIXING_RATE;
// How far an MP4's length, as ffprobe reads it, may stray from the frames kept: the sound
// within two AAC packets of 1024 frames, the picture within half a frame.
static constexpr double MP4_SOUND_SLACK_SECONDS = 2048.0 / MIXING_RATE;

// One pass of the main loop as the profile sees it: from the end of the loop test that began
// it to the start of the next one's hand-over, so the drawing and the glFinish that waits for
// the renderer, but not the music rendered between passes, which is timed on its own.
struct ProfiledPass {
    int64_t frame;
    int scene;
    double passMs;
    double audioMs;
    int audioFrames;
    long draws;  // the ES draw calls the GL 1.1 layer made for the pass (none on desktop GL)
};

using Clock = std::chrono::steady_clock;

// The capture's state: what was asked, where it goes and how far the run has come. The sound
// of one frame interval has its own fixed table beside it, `audioSlice`.
struct CaptureState {
    CaptureOptions options;
    Destination out;               // the MP4, the frames' folder or the profile
    WavFile wav;                   // the sound track
    FILE* profileFile = nullptr;   // the profile under its temporary name
    std::vector<ProfiledPass> profiledPasses;
    int64_t pumps = 0;             // pumpMessages calls so far
    int64_t lastFrame = -1;        // the last frame handed over, kept or not
    int64_t firstKept = -1;        // the first frame kept
    int64_t framesKept = 0;
    bool failed = false;
    int interruptSignal = 0;       // the close request that stopped the run, or 0
    Clock::time_point wallStart{};
    Clock::time_point passStart{};
    int passScene = 0;
    long passDraws = 0;            // the layer's draw count when the pass began
    double progressShownAt = -1.0;  // wall seconds of the last progress line
};
static const CaptureState CAPTURE_START_STATE{};
static CaptureState capture = CAPTURE_START_STATE;
static int16_t audioSlice[MAX_SLICE_FRAMES * OUTPUT_CHANNELS];

static double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

static double frameSeconds(int64_t frame)
{
    return static_cast<double>(frameStartMs(capture.options, frame)) / 1000.0;
}

static bool interrupted()
{
    if (capture.interruptSignal == 0) {
        capture.interruptSignal = takeCloseSignal();
    }
    return capture.interruptSignal != 0;
}

// The first failure is reported; any failure ends the run. After an interrupt nothing is
// reported: ffmpeg may have gone first, and the write to it failed for that reason.
static void reportFailure(const std::string& what)
{
    if (!capture.failed && !interrupted()) {
        std::fprintf(stderr, "\nyarvik-capture: %s\n", what.c_str());
    }
    capture.failed = true;
    windowCore.running = 0;
}

// A failed wait on ffmpeg or ffprobe, said as `what` failed and why.
static void reportProgramFailure(FfmpegResult result, const char* program, const std::string& what)
{
    if (result == FFMPEG_STALLED) {
        char why[96];
        std::snprintf(why, sizeof why, " (%s made no progress for %d s and was stopped)", program,
                      FFMPEG_STALL_SECONDS);
        reportFailure(what + why);
    } else {
        reportFailure(what + " (see " + program + "'s message above)");
    }
}

static bool keeps(double seconds)
{
    return seconds >= capture.options.from && (capture.options.to < 0.0 || seconds < capture.options.to);
}

static void showProgress(int64_t frame, double demoSeconds, bool last)
{
    double wall = std::chrono::duration<double>(Clock::now() - capture.wallStart).count();
    if (!last && wall - capture.progressShownAt < 0.2) {
        return;
    }
    capture.progressShownAt = wall;
    double total = capture.options.to >= 0.0 ? capture.options.to : EXPECTED_DEMO_SECONDS;
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

// A frame into the frames' folder or down the pipe to the encoder.
static void keepFrame(const uint8_t* rgba, int64_t frame)
{
    const CaptureOptions& o = capture.options;
    if (o.toDirectory) {
        char name[32];
        char path[PATH_MAX];
        std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(capture.framesKept));
        std::snprintf(path, sizeof path, "%s%s", capture.out.work.c_str(), name);
        if (!writePng(path, rgba, o.width, o.height)) {
            reportFailure("cannot write " + o.out + name + ": " + std::strerror(errno));
        }
    } else {
        const size_t bytes = static_cast<size_t>(o.width) * static_cast<size_t>(o.height) * 4;
        const FfmpegResult sent = ffmpegSendFrame(rgba, bytes, interrupted);
        if (sent != FFMPEG_OK) {
            reportProgramFailure(sent, "ffmpeg", "the encoder stopped taking frames");
        }
    }
    capture.firstKept = capture.firstKept < 0 ? frame : capture.firstKept;
    ++capture.framesKept;
}

static void recordPass(const ProfiledPass& pass)
{
    try {
        capture.profiledPasses.push_back(pass);
    } catch (const std::bad_alloc&) {
        reportFailure("not enough memory for the profile");
    }
}

// Every loop test of the demo: the frame drawn by the pass before (frame k-1) is kept with the
// sound of its interval, and the clock moves on to frame k, after rendering the sound up to
// it so that beats whose rows start before frame k are raised before its step.
static void present(const uint8_t* rgba)
{
    const auto passEnd = Clock::now();
    const CaptureOptions& o = capture.options;
    const bool profiling = !o.profile.empty();
    if (interrupted() || capture.failed) {
        windowCore.running = 0;
        return;
    }
    if (rgba == nullptr) {
        reportFailure("not enough memory to render the frame");
        return;
    }
    const int64_t k = capture.pumps++;
    if (k > 0) {
        const int64_t frame = k - 1;
        const double seconds = frameSeconds(frame);
        if (o.to >= 0.0 && seconds >= o.to) {
            windowCore.running = 0;
            return;
        }
        capture.lastFrame = frame;
        const int64_t from = frameStartSample(o, frame, MIXING_RATE);
        const int64_t count = frameStartSample(o, k, MIXING_RATE) - from;
        if (count > MAX_SLICE_FRAMES) {
            reportFailure("a frame interval holds more sound than its buffer");
            return;
        }
        offlineAudioRender(audioSlice, static_cast<int>(count));
        if (profiling) {
            const double audioMs = msSince(passEnd, Clock::now());
            recordPass(ProfiledPass{frame, capture.passScene, msSince(capture.passStart, passEnd), audioMs,
                                    static_cast<int>(count), gles2Counters().draws - capture.passDraws});
        } else if (keeps(seconds)) {
            keepFrame(rgba, frame);
            if (!capture.failed && !wavWrite(&capture.wav, audioSlice, static_cast<int>(count))) {
                reportFailure("cannot write the sound track " + capture.out.path + (o.toDirectory ? "/audio.wav" : "") +
                              ": " + std::strerror(errno));
            }
        }
        if (!profiling && isatty(STDERR_FILENO)) {
            showProgress(frame, seconds, false);
        }
    }
    virtualClockSet(frameStartMs(o, k));
    if (profiling) {
        capture.passScene = demoSceneIndex();
        capture.passDraws = gles2Counters().draws;
        capture.passStart = Clock::now();
    }
}

// The profile as CSV into its temporary file, one row per pass in order; false, reported, when
// it could not be written in full.
static bool writeProfile()
{
    FILE* f = capture.profileFile;
    capture.profileFile = nullptr;
    std::fputs("frame,demo_ms,scene,pass_ms,audio_ms,audio_frames,draws\n", f);
    for (const ProfiledPass& p : capture.profiledPasses) {
        std::fprintf(f, "%lld,%lld,%d,%.4f,%.4f,%d,%ld\n", static_cast<long long>(p.frame),
                     static_cast<long long>(frameStartMs(capture.options, p.frame)), p.scene, p.passMs, p.audioMs,
                     p.audioFrames, p.draws);
    }
    bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "yarvik-capture: cannot write %s: %s\n", capture.options.profile.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// The frames' folder or the MP4's files under their temporary names, the sound track open in
// them, and for an MP4 ffmpeg started on its picture. False, reported, with nothing left.
static bool openOutput()
{
    const CaptureOptions& o = capture.options;
    if (o.toDirectory && !pngWriterStart()) {
        std::fprintf(stderr, "yarvik-capture: not enough memory for the PNG writer\n");
        return false;
    }
    if (!o.toDirectory && !ffprobeInstalled()) {
        std::fprintf(stderr, "yarvik-capture: the ffprobe program, which comes with ffmpeg, is needed to check an "
                             "MP4 and is not on the path; or capture PNG frames and a WAV with --out DIR\n");
        return false;
    }
    int fd = -1;
    const std::string refused =
        destinationOpen(&capture.out, o.out, o.toDirectory ? DESTINATION_FOLDER : DESTINATION_MP4, &fd);
    if (!refused.empty()) {
        std::fprintf(stderr, "yarvik-capture: %s\n", refused.c_str());
        return false;
    }
    if (!wavOpen(&capture.wav, fd, MIXING_RATE, OUTPUT_CHANNELS)) {
        std::fprintf(stderr, "yarvik-capture: cannot write the sound track beside %s: %s\n", o.out.c_str(),
                     std::strerror(errno));
        wavClose(&capture.wav);
        destinationDiscard(&capture.out);
        return false;
    }
    if (o.toDirectory) {
        return true;
    }
    int error = ffmpegStartEncoder(o, o.width, o.height, capture.out.video);
    if (error == 0) {
        return true;
    }
    wavClose(&capture.wav);
    destinationDiscard(&capture.out);
    if (error == ENOENT) {
        std::fprintf(stderr,
                     "yarvik-capture: the ffmpeg program is needed for .mp4 output and is not installed "
                     "(apt-get install ffmpeg), or capture PNG frames and a WAV with --out DIR\n");
    } else {
        std::fprintf(stderr, "yarvik-capture: cannot start ffmpeg: %s\n", std::strerror(error));
    }
    return false;
}

// The MP4 as ffprobe reads it against what was kept: one H.264 picture of the size asked for
// with every frame and its length, and one sound track as long.
static void checkMp4()
{
    const CaptureOptions& o = capture.options;
    Mp4Contents found;
    const FfmpegResult probed = ffmpegProbe(capture.out.work, &found, interrupted);
    if (probed != FFMPEG_OK) {
        reportProgramFailure(probed, "ffprobe", "ffmpeg wrote no MP4 that can be read for " + o.out);
        return;
    }
    const double frameLength = static_cast<double>(o.fpsDen) / static_cast<double>(o.fpsNum);
    const double seconds = static_cast<double>(capture.framesKept) * frameLength;
    if (found.videoStreams != 1 || found.audioStreams != 1 || found.width != o.width || found.height != o.height ||
        found.videoFrames != capture.framesKept || std::fabs(found.videoSeconds - seconds) > frameLength / 2.0 ||
        std::fabs(found.audioSeconds - seconds) > MP4_SOUND_SLACK_SECONDS + frameLength) {
        char why[320];
        std::snprintf(why, sizeof why,
                      "ffmpeg wrote an MP4 with %d picture and %d sound streams, %lld frames of %dx%d, %.3f s and "
                      "%.3f s long; %lld frames of %dx%d, %.3f s long, were asked for",
                      found.videoStreams, found.audioStreams, static_cast<long long>(found.videoFrames), found.width,
                      found.height, found.videoSeconds, found.audioSeconds,
                      static_cast<long long>(capture.framesKept), o.width, o.height, seconds);
        reportFailure(why);
    }
}

// Completes the sound track and, for an MP4, lets ffmpeg finish the picture, join it with the
// sound, and checks what it wrote. Every file is checked: a run that wrote less than asked
// says which file and fails.
static void finishOutput()
{
    const CaptureOptions& o = capture.options;
    if (!wavClose(&capture.wav)) {
        reportFailure("cannot write the sound track " + o.out + (o.toDirectory ? "/audio.wav" : "") + " in full");
    }
    if (o.toDirectory || capture.failed) {
        return;
    }
    FfmpegResult done = ffmpegFinishEncoder(interrupted);
    if (done != FFMPEG_OK) {
        reportProgramFailure(done, "ffmpeg", "encoding the picture of " + o.out + " failed");
        return;
    }
    done = ffmpegMux(capture.out.video, capture.out.audio, capture.out.work, interrupted);
    if (done != FFMPEG_OK) {
        reportProgramFailure(done, "ffmpeg", "encoding " + o.out + " failed");
        return;
    }
    checkMp4();
}

// After a failure or a close request: ffmpeg stopped, every temporary file removed.
static void discardOutput()
{
    ffmpegStop();
    wavClose(&capture.wav);
    if (capture.profileFile != nullptr) {
        std::fclose(capture.profileFile);
        capture.profileFile = nullptr;
    }
    destinationDiscard(&capture.out);
}

// Returns the exit status, 128 + the signal number as a shell reports it.
static int endInterrupted()
{
    discardOutput();
    std::fprintf(stderr, "\nyarvik-capture: interrupted\n");
    return 128 + capture.interruptSignal;
}

// The offscreen window for the frames asked for, then the demo on the virtual clock from 0.
static int runDemo()
{
    const CaptureOptions& o = capture.options;
    windowCore.request =
        WindowRequest{WINDOW_DISPLAY_MODE, o.width, o.height, o.samples > 1 ? o.samples : 0, o.gl};
    virtualClockSeed(o.seed);
    virtualClockSet(0);
    offscreenPresent = present;
    capture.wallStart = Clock::now();
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
    const CaptureOptions& o = capture.options;
    int fd = -1;
    const std::string refused = destinationOpen(&capture.out, o.profile, DESTINATION_PROFILE, &fd);
    capture.profileFile = refused.empty() ? fdopen(fd, "w") : nullptr;
    if (capture.profileFile == nullptr) {
        std::fprintf(stderr, "yarvik-capture: %s\n", refused.empty() ? std::strerror(errno) : refused.c_str());
        destinationDiscard(&capture.out);
        return 1;
    }
    std::fprintf(stderr, "yarvik-capture: profiling into %s at %lld/%lld fps, %dx%d, seed %u\n", o.profile.c_str(),
                 static_cast<long long>(o.fpsNum), static_cast<long long>(o.fpsDen), o.width, o.height, o.seed);
    const double seconds = o.to >= 0.0 ? o.to : EXPECTED_DEMO_SECONDS + 5.0;
    capture.profiledPasses.reserve(static_cast<size_t>(seconds * static_cast<double>(o.fpsNum) /
                                                       static_cast<double>(o.fpsDen)) + 16);

    int status = runDemo();
    if (interrupted()) {
        return endInterrupted();
    }
    double wall = msSince(capture.wallStart, Clock::now()) / 1000.0;
    if (status != 0 || capture.failed || !writeProfile()) {
        discardOutput();
        return 1;
    }
    bool replaced = false;
    const std::string moved = destinationCommit(&capture.out, &replaced);
    if (!moved.empty()) {
        std::fprintf(stderr, "yarvik-capture: %s\n", moved.c_str());
        discardOutput();
        return 1;
    }
    std::fprintf(stderr, "yarvik-capture: %zu passes profiled in %.1f s, peak resident memory %ld KiB\n",
                 capture.profiledPasses.size(), wall, peakResidentKiB());
    return 0;
}

// The capture from the command line to the closing line. Returns the exit status.
static int captureMain(int argc, char** argv)
{
    CaptureOptions& o = capture.options;
    std::string error = parseCaptureArgs(argc, argv, &o);
    if (!error.empty()) {
        std::fprintf(stderr, "yarvik-capture: %s\n", error.c_str());
        return 2;
    }
    if (o.help || o.version) {
        if (o.help) {
            std::fputs(CAPTURE_USAGE, stdout);
        } else {
            std::printf("yarvik-capture %s\n", YARVIK_VERSION);
        }
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "yarvik-capture: cannot write to standard output\n");
            return 1;
        }
        return 0;
    }
    if (!o.seedGiven) {
        o.seed = static_cast<unsigned int>(std::time(nullptr));
    }
    if (!o.profile.empty()) {
        return profileRun();
    }
    std::fprintf(stderr, "yarvik-capture: %s at %lld/%lld fps, %dx%d, seed %u\n", o.out.c_str(),
                 static_cast<long long>(o.fpsNum), static_cast<long long>(o.fpsDen), o.width, o.height, o.seed);
    if (!openOutput()) {
        pngWriterEnd();
        return 1;
    }

    // Without a GL context the window has said why, and that is all there is to say.
    if (runDemo() != 0) {
        discardOutput();
        pngWriterEnd();
        return 1;
    }
    pngWriterEnd();
    double wall = std::chrono::duration<double>(Clock::now() - capture.wallStart).count();
    if (isatty(STDERR_FILENO) && !interrupted()) {
        showProgress(capture.lastFrame < 0 ? 0 : capture.lastFrame, frameSeconds(capture.lastFrame + 1), true);
    }
    if (capture.framesKept == 0 && !capture.failed && !interrupted()) {
        char why[96];
        std::snprintf(why, sizeof why, "nothing captured: the demo ended at %.2f s, before --from %g",
                      frameSeconds(capture.lastFrame + 1), o.from);
        reportFailure(why);
    }
    if (!capture.failed && !interrupted()) {
        finishOutput();
    }
    if (interrupted()) {
        return endInterrupted();
    }
    bool replaced = false;
    if (!capture.failed) {
        const std::string moved = destinationCommit(&capture.out, &replaced);
        if (!moved.empty()) {
            reportFailure(moved);
        }
    }
    if (capture.failed) {
        discardOutput();
        return 1;
    }
    // The demo time the kept frames cover, from the start of the first to the end of the last;
    // the speed counts every frame run, those before --from too.
    const double keptFrom = frameSeconds(capture.firstKept);
    const double kept = frameSeconds(capture.firstKept + capture.framesKept) - keptFrom;
    const double run = frameSeconds(capture.lastFrame + 1);
    char from[48] = "";
    if (capture.firstKept > 0) {
        std::snprintf(from, sizeof from, " from %.2f s", keptFrom);
    }
    std::fprintf(stderr,
                 "yarvik-capture: %lld frames kept, %.2f s of demo%s in %.1f s (%.2fx real time), peak resident "
                 "memory %ld KiB%s%s\n",
                 static_cast<long long>(capture.framesKept), kept, from, wall, wall > 0 ? run / wall : 0.0,
                 peakResidentKiB(), replaced ? "; replaced the earlier " : "", replaced ? o.out.c_str() : "");
    return 0;
}

int main(int argc, char** argv)
{
    prepareProcess();
    keepHeapTop();
    // The standard library's allocations (names, the profile's rows) may fail when memory
    // runs short: one line, and nothing left behind.
    try {
        return captureMain(argc, argv);
    } catch (const std::bad_alloc&) {
        discardOutput();
        std::fprintf(stderr, "\nyarvik-capture: not enough memory\n");
        return 1;
    }
}
