// The ffmpeg program, started with an argument vector and no shell, so that every path reaches
// it exactly as given (apostrophes, spaces, any length); paths go behind "file:" so that none is
// taken for an option or another protocol. One ffmpeg runs at a time.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "tools/capture/capture.h"

extern char** environ;

struct FfmpegState {
    pid_t pid;
    FILE* frames;  // the encoder's standard input, or null
};
static FfmpegState ffmpeg = {-1, nullptr};

// Starts ffmpeg with `args` (after the program name); with `feed`, its standard input is a pipe
// kept in ffmpeg.frames. Returns 0 or the error number (ENOENT: no ffmpeg on the path).
static int startFfmpeg(const char* const* args, int count, bool feed)
{
    const char* argv[40];
    argv[0] = "ffmpeg";
    for (int i = 0; i < count; ++i) {
        argv[i + 1] = args[i];
    }
    argv[count + 1] = nullptr;

    int pipeEnds[2] = {-1, -1};
    if (feed && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return errno;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (feed) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    }
    // The capture ignores SIGPIPE; ffmpeg gets the usual disposition back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    int error = posix_spawnp(&ffmpeg.pid, "ffmpeg", &actions, &attributes, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (feed) {
        close(pipeEnds[0]);
        if (error == 0) {
            ffmpeg.frames = fdopen(pipeEnds[1], "w");
        } else {
            close(pipeEnds[1]);
        }
    }
    if (error != 0) {
        ffmpeg.pid = -1;
    }
    return error;
}

// Waits for the running ffmpeg; a close request stops it. True when it exited with status 0.
static bool waitFfmpeg(bool (*interrupted)())
{
    int status = 0;
    for (;;) {
        pid_t done = waitpid(ffmpeg.pid, &status, WNOHANG);
        if (done == ffmpeg.pid || (done < 0 && errno != EINTR)) {
            break;
        }
        if (interrupted()) {
            ffmpegStop();
            return false;
        }
        usleep(10000);
    }
    ffmpeg.pid = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
    return startFfmpeg(args, static_cast<int>(sizeof args / sizeof args[0]), true);
}

FILE* ffmpegFrames() { return ffmpeg.frames; }

bool ffmpegFinishEncoder(bool (*interrupted)())
{
    bool closed = ffmpeg.frames == nullptr || std::fclose(ffmpeg.frames) == 0;
    ffmpeg.frames = nullptr;
    return ffmpeg.pid > 0 && waitFfmpeg(interrupted) && closed;
}

bool ffmpegMux(const std::string& videoPath, const std::string& audioPath, const std::string& outPath,
               bool (*interrupted)())
{
    const std::string video = "file:" + videoPath;
    const std::string audio = "file:" + audioPath;
    const std::string output = "file:" + outPath;
    const char* args[] = {"-nostdin", "-loglevel", "error", "-y", "-i", video.c_str(), "-i", audio.c_str(),
                          "-map", "0:v", "-map", "1:a", "-c:v", "copy", "-c:a", "aac", "-b:a", "192k",
                          "-movflags", "+faststart", output.c_str()};
    return startFfmpeg(args, static_cast<int>(sizeof args / sizeof args[0]), false) == 0 && waitFfmpeg(interrupted);
}

void ffmpegStop()
{
    if (ffmpeg.pid > 0) {
        kill(ffmpeg.pid, SIGTERM);
    }
    if (ffmpeg.frames != nullptr) {
        std::fclose(ffmpeg.frames);  // what is still buffered goes nowhere: SIGPIPE is ignored
        ffmpeg.frames = nullptr;
    }
    if (ffmpeg.pid > 0) {
        waitpid(ffmpeg.pid, nullptr, 0);
        ffmpeg.pid = -1;
    }
}
