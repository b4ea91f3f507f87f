// The capture tool's pieces: its command line, where its files go, the PNG and WAV writers and
// the ffmpeg programs. Its clock and sound output are the offscreen platform's (platform/offscreen/).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "shell/screen.h"

struct CaptureOptions {
    std::string out;           // .mp4 file, or a directory for PNG frames and a WAV
    bool toDirectory = false;
    std::string profile;       // instead of --out: a CSV of every pass's wall time, nothing encoded
    int64_t fpsNum = 60;       // frames per second as the fraction fpsNum / fpsDen
    int64_t fpsDen = 1;
    double from = 0.0;         // seconds of demo time to keep: [from, to)
    double to = -1.0;          // < 0: to the end
    unsigned int seed = 0;
    bool seedGiven = false;
    int width = SCREEN_WIDTH;  // the frames' size; the picture is scaled into its largest 4:3 area
    int height = SCREEN_HEIGHT;
    int samples = 1;           // samples per pixel: above 1, multisampled anti-aliasing
    bool gles2 = false;        // --gl es2: OpenGL ES 2 through the GL 1.1 layer
    bool help = false;
    bool version = false;
};

// Parses the command line. Returns an empty string on success, otherwise a one-line error.
std::string parseCaptureArgs(int argc, char** argv, CaptureOptions* options);
extern const char* CAPTURE_USAGE;

// Milliseconds from the start of frame 0 to the start of frame n, exact: floor(n*1000/fps).
int64_t frameStartMs(const CaptureOptions& o, int64_t n);
// Audio frames (at `rate`) from the start to the start of video frame n, exact.
int64_t frameStartSample(const CaptureOptions& o, int64_t n, int rate);

// Where the capture's files go. Each is written under a temporary name of its own in the
// destination's folder and reaches the name asked for in one rename once it is complete.
enum DestinationKind { DESTINATION_MP4, DESTINATION_FOLDER, DESTINATION_PROFILE };
struct Destination {
    DestinationKind kind = DESTINATION_MP4;
    std::string path;    // the name asked for, as given
    std::string target;  // what the rename replaces: the path, or the folder a link there leads to
    std::string work;    // the output under its temporary name (for frames, a temporary folder)
    std::string video;   // an MP4's picture alone, as the encoder writes it
    std::string audio;   // the sound track: beside an MP4, or audio.wav in the frames' folder
    unsigned keepMode = 0;  // an empty folder being replaced: its permissions, kept; else 0
};
// Checks the destination and makes the temporary files, or the temporary folder and its sound
// track; *fd is left open on the one the capture writes itself (the sound track or the
// profile). Returns "" or a one-line reason, having made nothing.
std::string destinationOpen(Destination* d, const std::string& path, DestinationKind kind, int* fd);
// Moves the finished output to its name, the MP4's intermediate files removed. Returns "" or
// a one-line reason; *replaced says whether a file of that name was there before.
std::string destinationCommit(Destination* d, bool* replaced);
// Removes whatever temporary file or folder is left.
void destinationDiscard(Destination* d);

// The PNG writer compresses with one zlib stream made at start-up, so that a frame needs no
// memory of its own. False when zlib cannot have it.
bool pngWriterStart();
void pngWriterEnd();
// Writes a new file at `path` (never an existing one, never through a link). False, with
// errno set, when it could not be written in full.
bool writePng(const char* path, const uint8_t* rgbaBottomUp, int width, int height);

// A 16-bit PCM WAV written as it goes; the header is completed by wavClose.
struct WavFile {
    void* file = nullptr;
    int rate = 0;
    int channels = 0;
    int64_t frames = 0;
};
// Each returns false when the file could not be written in full. wavOpen takes over `fd`.
bool wavOpen(WavFile* wav, int fd, int rate, int channels);
bool wavWrite(WavFile* wav, const int16_t* samples, int frames);
bool wavClose(WavFile* wav);

// The ffmpeg and ffprobe programs for MP4 output, run without a shell. Every wait on them ends
// early once `interrupted` says so, and when the program has shown no sign of life (taken no
// data, used no processor time) for FFMPEG_STALL_SECONDS.
constexpr int FFMPEG_STALL_SECONDS = 30;
enum FfmpegResult { FFMPEG_OK, FFMPEG_FAILED, FFMPEG_STALLED, FFMPEG_INTERRUPTED };
// The encoder takes raw RGBA frames, bottom row first, and writes H.264 to videoPath.
int ffmpegStartEncoder(const CaptureOptions& o, int width, int height, const std::string& videoPath);  // 0 or errno
FfmpegResult ffmpegSendFrame(const uint8_t* rgba, size_t bytes, bool (*interrupted)());
FfmpegResult ffmpegFinishEncoder(bool (*interrupted)());  // FFMPEG_OK when it exited with status 0
// Joins the picture with the sound track into outPath.
FfmpegResult ffmpegMux(const std::string& videoPath, const std::string& audioPath, const std::string& outPath,
                       bool (*interrupted)());
// What ffprobe finds in an MP4 (counts of -1: not found).
struct Mp4Contents {
    int videoStreams = 0;
    int audioStreams = 0;
    int width = -1;
    int height = -1;
    int64_t videoFrames = -1;
    double videoSeconds = -1.0;
    double audioSeconds = -1.0;
};
FfmpegResult ffmpegProbe(const std::string& path, Mp4Contents* found, bool (*interrupted)());
bool ffprobeInstalled();  // on the PATH
void ffmpegStop();  // stops a program still running (SIGTERM, then SIGKILL) and waits for it
