// The ffmpeg and ffprobe programs, started with an argument vector and no shell, so that every
// path reaches them exactly as given (apostrophes, spaces, any length); paths go behind
// "file:" so that none is taken for an option or another protocol. One runs at a time.
// Nothing here waits unboundedly: frames go down a non-blocking pipe and every wait polls the
// capture's close request and the program's signs of life (data taken, processor time used,
// read from /proc), so that an ffmpeg that stops reading or never exits is stopped after
// FFMPEG_STALL_SECONDS and a Ctrl-C is answered at once.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/capture/capture.h"

extern char** environ;

static constexpr int STOP_GRACE_MS = 3000;  // from SIGTERM to SIGKILL when a program is stopped

struct FfmpegState {
    pid_t pid;             // the running program, or -1
    int frames;            // the encoder's standard input (our end non-blocking), or -1
    int report;            // ffprobe's standard output (our end non-blocking), or -1
    long cpuTicks;         // the program's processor time when last looked at
    int64_t lastLookMs;    // when that was
    int64_t lastLifeMs;    // when it last took data or used processor time
    size_t reportLength;   // bytes of ffprobe's report kept in ffmpegReport
};
static constexpr FfmpegState FFMPEG_START_STATE = {-1, -1, -1, 0, 0, 0, 0};
static FfmpegState ffmpeg = FFMPEG_START_STATE;
static char ffmpegReport[4096];  // ffprobe's report; more is read and dropped

static int64_t nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

static void closeDescriptor(int* fd)
{
    if (*fd >= 0) {
        close(*fd);
        *fd = -1;
    }
}

// Starts `program` with `args` (after the program name); with `feed`, its standard input is a
// pipe kept in ffmpeg.frames, with `report` its standard output one kept in ffmpeg.report.
// Returns 0 or the error number (ENOENT: not on the path).
static int startProgram(const char* program, const char* const* args, int count, bool feed, bool report)
{
    const char* argv[40];
    argv[0] = program;
    for (int i = 0; i < count; ++i) {
        argv[i + 1] = args[i];
    }
    argv[count + 1] = nullptr;

    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    if ((feed && pipe2(input, O_CLOEXEC) != 0) || (report && pipe2(output, O_CLOEXEC) != 0)) {
        const int error = errno;
        closeDescriptor(&input[0]);
        closeDescriptor(&input[1]);
        return error;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (feed) {
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    }
    if (report) {
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    }
    // The capture ignores SIGPIPE; the program gets the usual disposition back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    int error = posix_spawnp(&ffmpeg.pid, program, &actions, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeDescriptor(&input[0]);
    closeDescriptor(&output[1]);
    if (error != 0) {
        ffmpeg.pid = -1;
        closeDescriptor(&input[1]);
        closeDescriptor(&output[0]);
        return error;
    }
    // Only our ends are non-blocking: the program reads and writes as it always does.
    for (int end : {input[1], output[0]}) {
        if (end >= 0) {
            fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        }
    }
    ffmpeg.frames = input[1];
    ffmpeg.report = output[0];
    ffmpeg.reportLength = 0;
    ffmpeg.cpuTicks = -1;
    ffmpeg.lastLookMs = ffmpeg.lastLifeMs = nowMs();
    return 0;
}

// Processor time the running program has used, in clock ticks, or -1 where /proc cannot say.
static long cpuTicks(pid_t pid)
{
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* f = std::fopen(path, "re");
    if (f == nullptr) {
        return -1;
    }
    char text[512];
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = '\0';
    // The command name, in parentheses, may hold anything: the fields start after its last ')'.
    const char* fields = std::strrchr(text, ')');
    unsigned long user = 0;
    unsigned long system = 0;
    if (fields == nullptr ||
        std::sscanf(fields + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2) {
        return -1;
    }
    return static_cast<long>(user + system);
}

// True once the program has neither taken data nor used processor time for
// FFMPEG_STALL_SECONDS. Where /proc cannot say, a program is taken to be alive.
static bool stalled()
{
    const int64_t now = nowMs();
    if (now - ffmpeg.lastLookMs >= 1000) {
        ffmpeg.lastLookMs = now;
        const long ticks = cpuTicks(ffmpeg.pid);
        if (ticks < 0 || ticks != ffmpeg.cpuTicks) {
            ffmpeg.cpuTicks = ticks;
            ffmpeg.lastLifeMs = now;
        }
    }
    return now - ffmpeg.lastLifeMs >= FFMPEG_STALL_SECONDS * 1000;
}

// Takes what ffprobe has written so far, keeping the first sizeof ffmpegReport - 1 bytes.
static void readReport()
{
    char scratch[512];
    while (ffmpeg.report >= 0) {
        const size_t room = sizeof ffmpegReport - 1 - ffmpeg.reportLength;
        char* into = room > 0 ? ffmpegReport + ffmpeg.reportLength : scratch;
        const ssize_t n = read(ffmpeg.report, into, room > 0 ? room : sizeof scratch);
        if (n <= 0) {
            return;
        }
        ffmpeg.reportLength += room > 0 ? static_cast<size_t>(n) : 0;
    }
}

// Waits for the running program to exit: FFMPEG_OK for status 0.
static FfmpegResult waitForExit(bool (*interrupted)())
{
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(ffmpeg.pid, &status, WNOHANG);
        if (done == ffmpeg.pid || (done < 0 && errno != EINTR)) {
            ffmpeg.pid = -1;
            readReport();
            closeDescriptor(&ffmpeg.report);
            ffmpegReport[ffmpeg.reportLength] = '\0';
            return done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? FFMPEG_OK : FFMPEG_FAILED;
        }
        readReport();
        if (interrupted()) {
            return FFMPEG_INTERRUPTED;
        }
        if (stalled()) {
            return FFMPEG_STALLED;
        }
        usleep(10000);  // a signal ends it early
    }
}

int ffmpegStartEncoder(const CaptureOptions& o, int width, int height, const std::string& videoPath)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string rate = std::to_string(o.fpsNum) + "/" + std::to_string(o.fpsDen);
    const std::string output = "file:" + videoPath;
    const char* args[] = {"-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgba",
                          "-s", size.c_str(), "-framerate", rate.c_str(), "-i", "pipe:0", "-vf", "vflip",
                          "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
                          output.c_str()};
    return startProgram("ffmpeg", args, static_cast<int>(sizeof args / sizeof args[0]), true, false);
}

FfmpegResult ffmpegSendFrame(const uint8_t* rgba, size_t bytes, bool (*interrupted)())
{
    while (bytes > 0) {
        const ssize_t written = write(ffmpeg.frames, rgba, bytes);
        if (written > 0) {
            rgba += written;
            bytes -= static_cast<size_t>(written);
            ffmpeg.lastLifeMs = nowMs();
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return FFMPEG_FAILED;  // EPIPE: the encoder has gone
        }
        if (interrupted()) {
            return FFMPEG_INTERRUPTED;
        }
        if (stalled()) {
            return FFMPEG_STALLED;
        }
        pollfd ready = {ffmpeg.frames, POLLOUT, 0};
        poll(&ready, 1, 100);  // a signal ends it early
    }
    return FFMPEG_OK;
}

FfmpegResult ffmpegFinishEncoder(bool (*interrupted)())
{
    closeDescriptor(&ffmpeg.frames);
    return ffmpeg.pid > 0 ? waitForExit(interrupted) : FFMPEG_FAILED;
}

FfmpegResult ffmpegMux(const std::string& videoPath, const std::string& audioPath, const std::string& outPath,
                       bool (*interrupted)())
{
    const std::string video = "file:" + videoPath;
    const std::string audio = "file:" + audioPath;
    const std::string output = "file:" + outPath;
    const char* args[] = {"-nostdin", "-loglevel", "error", "-y", "-i", video.c_str(), "-i", audio.c_str(),
                          "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
                          "-movflags", "+faststart", output.c_str()};
    if (startProgram("ffmpeg", args, static_cast<int>(sizeof args / sizeof args[0]), false, false) != 0) {
        return FFMPEG_FAILED;
    }
    return waitForExit(interrupted);
}

// ffprobe's report is one `key=value` line per field, each stream's from its codec_type on.
FfmpegResult ffmpegProbe(const std::string& path, Mp4Contents* found, bool (*interrupted)())
{
    const std::string input = "file:" + path;
    const char* args[] = {"-v", "error", "-count_packets", "-show_entries",
                          "stream=codec_type,width,height,duration,nb_read_packets", "-of",
                          "default=noprint_wrappers=1", input.c_str()};
    *found = Mp4Contents{};
    if (startProgram("ffprobe", args, static_cast<int>(sizeof args / sizeof args[0]), false, true) != 0) {
        return FFMPEG_FAILED;
    }
    const FfmpegResult result = waitForExit(interrupted);
    if (result != FFMPEG_OK) {
        return result;
    }
    bool video = false;
    for (char* line = std::strtok(ffmpegReport, "\n"); line != nullptr; line = std::strtok(nullptr, "\n")) {
        char* value = std::strchr(line, '=');
        if (value == nullptr) {
            continue;
        }
        *value++ = '\0';
        if (std::strcmp(line, "codec_type") == 0) {
            video = std::strcmp(value, "video") == 0;
            found->videoStreams += video;
            found->audioStreams += std::strcmp(value, "audio") == 0;
        } else if (video && std::strcmp(line, "width") == 0) {
            found->width = std::atoi(value);
        } else if (video && std::strcmp(line, "height") == 0) {
            found->height = std::atoi(value);
        } else if (video && std::strcmp(line, "nb_read_packets") == 0) {
            found->videoFrames = std::atoll(value);
        } else if (std::strcmp(line, "duration") == 0 && value[0] >= '0' && value[0] <= '9') {
            (video ? found->videoSeconds : found->audioSeconds) = std::atof(value);
        }
    }
    return FFMPEG_OK;
}

bool ffprobeInstalled()
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        end = end == std::string::npos ? folders.size() : end;
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (access((folder + "/ffprobe").c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

void ffmpegStop()
{
    closeDescriptor(&ffmpeg.frames);  // what the encoder has not taken goes nowhere
    if (ffmpeg.pid > 0) {
        kill(ffmpeg.pid, SIGTERM);
        const int64_t stopped = nowMs();
        bool killed = false;
        for (;;) {
            const pid_t done = waitpid(ffmpeg.pid, nullptr, WNOHANG);
            if (done == ffmpeg.pid || (done < 0 && errno != EINTR)) {
                break;
            }
            if (!killed && nowMs() - stopped >= STOP_GRACE_MS) {
                kill(ffmpeg.pid, SIGKILL);
                killed = true;
            }
            usleep(10000);
        }
        ffmpeg.pid = -1;
    }
    closeDescriptor(&ffmpeg.report);
}
