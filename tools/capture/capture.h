// The capture tool's pieces: its command line, the virtual clock, the offline audio output,
// and the PNG and WAV writers.
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

// The virtual clock: tickCount() reads CLOCK_BASE_MS plus the time set here.
constexpr uint32_t CLOCK_BASE_MS = 1000000;  // any start well above the 25 ms step interval
void virtualClockSet(int64_t msSinceStart);
void virtualClockSeed(unsigned int seed);

// Renders `frames` frames of the module into `out` if the player has started the output,
// otherwise fills silence.
void offlineAudioRender(int16_t* out, int frames);

bool writePng(const std::string& path, const uint8_t* rgbaBottomUp, int width, int height);

// A 16-bit PCM WAV written as it goes; the header is completed by wavClose.
struct WavFile {
    void* file = nullptr;
    int rate = 0;
    int channels = 0;
    int64_t frames = 0;
};
// Each returns false when the file could not be opened or written in full.
bool wavOpen(WavFile* wav, const std::string& path, int rate, int channels);
bool wavWrite(WavFile* wav, const int16_t* samples, int frames);
bool wavClose(WavFile* wav);

// The ffmpeg program for MP4 output, run without a shell. The encoder takes raw RGBA frames,
// bottom row first, on the stream ffmpegFrames() and writes H.264 to videoPath; the muxer then
// joins it with the WAV into outPath. Waits end early, stopping ffmpeg, once `interrupted`
// says so.
int ffmpegStartEncoder(const CaptureOptions& o, int width, int height, const std::string& videoPath);  // 0 or errno
FILE* ffmpegFrames();
bool ffmpegFinishEncoder(bool (*interrupted)());  // true when it exited with status 0
bool ffmpegMux(const std::string& videoPath, const std::string& audioPath, const std::string& outPath,
               bool (*interrupted)());
void ffmpegStop();  // stops an ffmpeg still running and waits for it
