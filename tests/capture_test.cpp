// yarvik-capture end to end: it is run as a program into temporary directories, and what it
// writes is checked against the demo's timing and against the player rendering directly.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "music/player.h"

#ifndef YARVIK_CAPTURE_BIN
#error "YARVIK_CAPTURE_BIN must name the capture tool"
#endif

namespace {

const std::string CAPTURE = YARVIK_CAPTURE_BIN;

struct CaptureRun {
    int status;
    std::string err;
};

std::string tempDir(const std::string& name)
{
    std::string dir = std::string(::testing::TempDir()) + "yarvik_capture_" + name;
    std::system(("rm -rf '" + dir + "'").c_str());
    return dir;
}

CaptureRun capture(const std::string& args)
{
    std::string errFile = std::string(::testing::TempDir()) + "capture_stderr.txt";
    std::string cmd = CAPTURE + " " + args + " >/dev/null 2>'" + errFile + "'";
    int raw = std::system(cmd.c_str());
    std::ifstream in(errFile);
    std::string err((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return CaptureRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, err};
}

std::vector<char> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int countFrames(const std::string& dir)
{
    int n = 0;
    char name[64];
    for (;;) {
        std::snprintf(name, sizeof name, "/frame_%06d.png", n);
        std::ifstream f(dir + name);
        if (!f) {
            return n;
        }
        ++n;
    }
}

// Mean brightness 0..255 of a PNG frame, by ImageMagick.
int brightness(const std::string& png)
{
    std::string cmd = "convert '" + png + "' -colorspace gray -format '%[fx:int(255*mean)]' info:";
    FILE* p = popen(cmd.c_str(), "r");
    int v = -1;
    if (p != nullptr) {
        if (std::fscanf(p, "%d", &v) != 1) {
            v = -1;
        }
        pclose(p);
    }
    return v;
}

std::string frame(const std::string& dir, int n)
{
    char name[64];
    std::snprintf(name, sizeof name, "/frame_%06d.png", n);
    return dir + name;
}

int lineCount(const std::string& s)
{
    int n = 0;
    for (char c : s) {
        n += c == '\n';
    }
    return n;
}

TEST(Capture, BadArgumentsGiveOneLineAndStatusTwo)
{
    for (const char* args : {"", "--out", "--out x.mp4 --fps 0", "--out x.mp4 --fps abc", "--out x --fps 1/0",
                             "--out x --from -1", "--out x --from 5 --to 2", "--out x --seed -3", "--bogus",
                             "--out x --to"}) {
        CaptureRun r = capture(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(lineCount(r.err), 1) << args << ": " << r.err;
    }
    EXPECT_EQ(capture("--help").status, 0);
}

TEST(Capture, SameSeedGivesIdenticalFramesAndSound)
{
    std::string a = tempDir("seed_a");
    std::string b = tempDir("seed_b");
    ASSERT_EQ(capture("--out " + a + " --fps 20 --to 2 --seed 99").status, 0);
    ASSERT_EQ(capture("--out " + b + " --fps 20 --to 2 --seed 99").status, 0);
    int frames = countFrames(a);
    EXPECT_EQ(frames, 40);
    ASSERT_EQ(countFrames(b), frames);
    for (int i = 0; i < frames; ++i) {
        EXPECT_EQ(readFile(frame(a, i)), readFile(frame(b, i))) << "frame " << i;
    }
    EXPECT_EQ(readFile(a + "/audio.wav"), readFile(b + "/audio.wav"));
}

TEST(Capture, SoundIsTheModuleAtTheDemosVolumeSampleForSample)
{
    std::string dir = tempDir("sound");
    ASSERT_EQ(capture("--out " + dir + " --fps 30 --to 3 --seed 1").status, 0);
    std::vector<char> wav = readFile(dir + "/audio.wav");
    ASSERT_GT(wav.size(), 44u);
    const size_t frames = (wav.size() - 44) / 4;
    EXPECT_EQ(frames, 3u * 44100u);  // 90 frames of exactly 1470 sound frames

    // The player on its own, rendering the embedded module from the start.
    ResourceBlob* blob = findResourceBlob("CHIP1", "MODMUSIC");
    ASSERT_NE(blob, nullptr);
    startSound();
    ASSERT_EQ(playModule(blob->data, blob->size), 1);
    std::free(blob);
    std::vector<int16_t> direct(frames * 2);
    musicRender(direct.data(), static_cast<int>(frames));
    shutdownSound();
    ASSERT_EQ(std::memcmp(direct.data(), wav.data() + 44, frames * 4), 0);
    long energy = 0;
    for (int16_t s : direct) {
        energy += s < 0 ? -s : s;
    }
    EXPECT_GT(energy, 0) << "the module is silent in its first seconds";
}

TEST(Capture, WholeRunLastsTheModulePlusTheFadeAndShowsEachScene)
{
    std::string dir = tempDir("whole");
    CaptureRun r = capture("--out " + dir + " --fps 5 --seed 3");
    ASSERT_EQ(r.status, 0) << r.err;
    int frames = countFrames(dir);
    // The module plays 111.75 s; the tunnel then fades out over one second (six frames at
    // 5 fps, the completing one included), and the loop ends on the next step that falls due.
    const double seconds = frames / 5.0;
    EXPECT_GE(seconds, 111.75 + 1.0);
    EXPECT_LE(seconds, 111.75 + 1.0 + 0.8);
    std::vector<char> wav = readFile(dir + "/audio.wav");
    EXPECT_EQ((wav.size() - 44) / 4, static_cast<size_t>(frames) * 44100u / 5u);

    EXPECT_LT(brightness(frame(dir, 0)), 3);      // the fade-in starts from black
    EXPECT_GT(brightness(frame(dir, 50)), 25);     // the knot at 10 s
    EXPECT_GT(brightness(frame(dir, 300)), 8);     // the tunnel at 60 s
    EXPECT_LT(brightness(frame(dir, frames - 1)), 3);  // after the last fade
    // Around the switch at 31 s the knot has faded to black.
    int darkest = 255;
    for (int i = 150; i <= 158; ++i) {
        int b = brightness(frame(dir, i));
        darkest = b < darkest ? b : darkest;
    }
    EXPECT_LT(darkest, 4);
}

}  // namespace
