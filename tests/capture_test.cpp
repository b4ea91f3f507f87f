// yarvik-capture end to end: it is run as a program into temporary directories, and what it
// writes is checked against the demo's timing and against the player rendering directly.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <xmp.h>

#include "assets/resources.h"
#include "music/player.h"
#include "tests/fakes/null_output.h"

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

// Runs the capture tool through the shell, after `prefix`: both are shell text, and `args`
// may redirect stdout again or go on with more commands; the status is the last command's.
CaptureRun capture(const std::string& args, const std::string& prefix = "")
{
    // ctest runs the cases of this file in parallel processes: each gets its own file.
    std::string errFile = std::string(::testing::TempDir()) + "capture_stderr_" + std::to_string(getpid()) + ".txt";
    std::string cmd = prefix + " " + CAPTURE + " >/dev/null 2>'" + errFile + "' " + args;
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

// Brightness 0..255 of a PNG frame, by ImageMagick: the mean of its brightest channel, so a
// deep red picture counts as bright as it looks.
int brightness(const std::string& png)
{
    std::string cmd = "convert '" + png + "' -format '%[fx:int(255*max(mean.r,max(mean.g,mean.b)))]' info:";
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

// The first line a command writes.
std::string firstLine(const std::string& command)
{
    char line[128] = "";
    FILE* p = popen(command.c_str(), "r");
    if (p != nullptr && std::fgets(line, sizeof line, p) == nullptr) {
        line[0] = '\0';
    }
    if (p != nullptr) {
        pclose(p);
    }
    return line;
}

TEST(Capture, BadArgumentsGiveOneLineAndStatusTwo)
{
    for (const char* args : {"", "--out", "--out x.mp4 --fps 0", "--out x.mp4 --fps abc", "--out x --fps 1/0",
                             "--out x --from -1", "--out x --from 5 --to 2", "--out x --seed -3", "--bogus",
                             "--out x --to", "--out x --fps 1/2", "--out x --fps 0.5", "--out x --fps 1/1000000",
                             "--out x --fps 1000.999", "--out x --fps 2001/2", "--out x --fps 0.000",
                             "--out x --size 1920", "--out x --size 159x120", "--out x --size 1920x1080x2",
                             "--out x --size 8193x100", "--out x.mp4 --size 641x479", "--out x --samples 0",
                             "--out x --samples 33", "--out x --samples two", "--out x --fps ' 60'",
                             "--out x --to ' 1'", "--out x --seed ' 7'", "--out x --to inf", "--out .mp4",
                             "--out d/.MP4", "--out x --gl es3"}) {
        CaptureRun r = capture(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(lineCount(r.err), 1) << args << ": " << r.err;
    }
    EXPECT_EQ(capture("--help").status, 0);
}

// A stand-in for ffmpeg, first on the path of runs in `dir`: `script` is its shell text.
void fakeFfmpeg(const std::string& dir, const std::string& script)
{
    std::filesystem::create_directories(dir + "/bin");
    std::ofstream(dir + "/bin/ffmpeg") << "#!/bin/sh\n" << script << "\n";
    std::filesystem::permissions(dir + "/bin/ffmpeg", std::filesystem::perms::owner_all);
}

long entries(const std::string& dir)
{
    return std::distance(std::filesystem::directory_iterator(dir), {});
}

TEST(Capture, Mp4GoesThroughFfmpegWhateverItsNameAndOnlyACheckedFileReplacesAnEarlierOne)
{
    std::string dir = tempDir("mp4");
    const std::string in = "cd '" + dir + "';";
    const std::string fake = in + " PATH=\"$PWD/bin:$PATH\"";
    // A leading dash, shell text, the extension in capitals, 255 bytes in all.
    const std::string name = "-a'; touch pwned; echo '" + std::string(227, 'n') + ".MP4";
    const std::string quoted = " \"" + name + "\" ";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/" + name) << "mine";
    // ffmpeg fails at joining picture and sound: the earlier file stays, nothing else is left.
    fakeFfmpeg(dir, "case \"$*\" in *movflags*) exit 1;; esac; PATH=${PATH#*:} exec ffmpeg \"$@\"");
    CaptureRun r = capture("--out" + quoted + "--to 0.5", fake);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(dir + "/" + name), std::vector<char>({'m', 'i', 'n', 'e'}));
    EXPECT_EQ(entries(dir), 2) << "temporary files left";

    r = capture("--out" + quoted + "--to 0.5", in);
    ASSERT_EQ(r.status, 0) << "ffmpeg is installed here: " << r.err;
    EXPECT_GT(readFile(dir + "/" + name).size(), 1000u);
    EXPECT_NE(r.err.find("replaced the earlier"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/pwned"));

    r = capture("--out x.mp4 --to 1", in + " PATH=/nonexistent");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--out DIR"), std::string::npos) << r.err;
    // An ffmpeg that takes every frame, exits 0 and writes ten bytes that are no MP4.
    fakeFfmpeg(dir, "for a; do last=$a; done; cat >/dev/null; printf 0123456789 >\"${last#file:}\"");
    r = capture("--out fake.mp4 --to 1", fake);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fake.mp4"), std::string::npos) << r.err;
    EXPECT_EQ(entries(dir), 2) << "temporary files left";

    // An ffmpeg that never reads: SIGTERM a second after the files are made still ends it.
    fakeFfmpeg(dir, "exec sleep 100");
    r = capture("--out x.mp4 --to 60 & for i in $(seq 100); do [ $(ls -A | wc -l) -gt 2 ] && break; sleep 0.1; done; "
                "sleep 1; kill -TERM $!; wait $!",
                fake);
    EXPECT_EQ(r.status, 143);
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    EXPECT_EQ(entries(dir), 2) << "temporary files left";

    // A close request the capture was started with ignored stays ignored.
    r = capture("--out ignored --fps 10 --to 1 & sleep 0.5; kill -TERM $!; wait $!", in + " trap '' TERM;");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(countFrames(dir + "/ignored"), 10);
}

TEST(Capture, TwoCapturesToOneNameEachLeaveAWholeFileAndOthersFilesStayAsTheyWere)
{
    std::string dir = tempDir("same");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/same.mp4.audio.wav") << "notes";
    std::ofstream(dir + "/victim") << "victim";
    std::filesystem::create_symlink("victim", dir + "/same.mp4.video.mp4");
    CaptureRun r = capture("--out same.mp4 --to 1 --seed 1 & s=$!; " + CAPTURE +
                               " --out same.mp4 --to 0.5 --seed 2 >/dev/null 2>&1 || exit 9; wait $s",
                           "cd '" + dir + "';");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string frames = firstLine("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of "
                                         "csv=p=0 '" + dir + "/same.mp4'");
    EXPECT_TRUE(frames == "60\n" || frames == "30\n") << frames;
    EXPECT_EQ(readFile(dir + "/same.mp4.audio.wav").size(), 5u);
    EXPECT_EQ(readFile(dir + "/victim").size(), 6u);
    EXPECT_EQ(entries(dir), 4) << "temporary files left";
}

TEST(Capture, RunsThatCannotGiveWhatWasAskedFailAndSayWhy)
{
    std::string dir = tempDir("refused");
    std::filesystem::create_directories(dir + "/old");
    std::ofstream(frame(dir + "/old", 0)) << "an earlier capture";
    CaptureRun r = capture("--out " + dir + "/old --to 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(frame(dir + "/old", 0)).size(), 18u) << "an earlier frame overwritten";

    r = capture("--profile " + dir + "/none/p.csv --to 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("profiled"), std::string::npos) << "found only after the run: " << r.err;

    std::filesystem::create_directories(dir + "/x.mp4");
    r = capture("--out " + dir + "/x.mp4 --to 1");
    EXPECT_EQ(r.status, 1);

    r = capture("--out " + dir + "/late --fps 1 --from 200");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing captured"), std::string::npos) << r.err;

    // No GL context, or no memory for the frame: after the opening line, one reason.
    r = capture("--out " + dir + "/s32 --samples 32 --to 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 2) << r.err;
#if !defined(__SANITIZE_ADDRESS__)  // its shadow memory needs more address space than that
    r = capture("--out " + dir + "/big --size 8192x8192 --fps 1 --to 1", "ulimit -v 200000;");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 2) << r.err;
#endif
    EXPECT_EQ(entries(dir), 2) << "files left besides old/ and x.mp4/";

    // A full disk, where a small one can be mounted: both pictures fit, the sound does not.
    std::filesystem::create_directories(dir + "/full");
    if (std::system(("mount -t tmpfs -o size=300k tmpfs '" + dir + "/full' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here (it takes root), so no full disk to write to";
    }
    r = capture("--out " + dir + "/full/d --fps 1 --to 2 --seed 1");
    const long left = entries(dir + "/full");
    std::system(("umount '" + dir + "/full'").c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(left, 0) << "the frames that fitted are left";
    EXPECT_NE(r.err.find("audio.wav"), std::string::npos) << r.err;
}

TEST(Capture, SameSeedGivesIdenticalFramesAndSound)
{
    std::string a = tempDir("seed_a");
    std::string b = tempDir("seed_b");
    CaptureRun r = capture("--out " + a + " --fps 20 --to 2 --seed 99");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("40 frames kept, 2.00 s of demo in"), std::string::npos) << r.err;
    // The second with stdout closed: nothing the demo prints may land in its files; 640x480
    // asked for is the default size.
    ASSERT_EQ(capture("--out " + b + " --fps 20 --to 2 --seed 99 --size 640x480 >&-").status, 0);
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
    // The header: its sizes those of what the file holds, 16-bit stereo PCM at 44100 Hz.
    auto field = [&](size_t at, int bytes) {
        size_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            v = v << 8 | static_cast<uint8_t>(wav[at + i]);
        }
        return v;
    };
    EXPECT_EQ(std::string(wav.data(), 4) + std::string(wav.data() + 8, 8) + std::string(wav.data() + 36, 4),
              "RIFFWAVEfmt data");
    EXPECT_EQ(std::vector<size_t>({field(4, 4), field(16, 4), field(20, 2), field(22, 2), field(24, 4), field(28, 4),
                                   field(32, 2), field(34, 2), field(40, 4)}),
              std::vector<size_t>({wav.size() - 8, 16, 1, 2, 44100, 44100 * 4, 4, 16, wav.size() - 44}));

    // The player on its own, rendering the embedded module from the start.
    ResourceBlob* blob = findResourceBlob("CHIP1", "MODMUSIC");
    ASSERT_NE(blob, nullptr);
    startSound();
    ASSERT_EQ(playModule(blob->data, blob->size), 1);
    std::vector<int16_t> direct(frames * 2);
    musicRender(direct.data(), static_cast<int>(frames));
    shutdownSound();
    ASSERT_EQ(std::memcmp(direct.data(), wav.data() + 44, frames * 4), 0);

    // libxmp alone at its unscaled volume: the demo's master volume of 192/256 makes it 3/4.
    xmp_context unscaled = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(unscaled, blob->data, static_cast<long>(blob->size)), 0);
    std::free(blob);
    ASSERT_EQ(xmp_start_player(unscaled, MIXING_RATE, 0), 0);
    std::vector<int16_t> full(direct.size());
    xmp_play_buffer(unscaled, full.data(), static_cast<int>(full.size() * sizeof(int16_t)), 0);
    xmp_end_player(unscaled);
    xmp_release_module(unscaled);
    xmp_free_context(unscaled);
    double level = 0.0;
    double fullLevel = 0.0;
    for (size_t i = 0; i < direct.size(); ++i) {
        level += std::abs(direct[i]);
        fullLevel += std::abs(full[i]);
    }
    EXPECT_GT(level, 0.0) << "the module is silent in its first seconds";
    EXPECT_NEAR(level / fullLevel, 0.75, 0.01);
}

// --size gives frames of that size, the picture between bars, as PNG or MP4; --gl es2 the same
// picture through the GL 1.1 layer on ES 2.
TEST(Capture, FramesOfAnySizeHoldThePictureBetweenBarsAndTheMp4ShowsTheSamePicture)
{
    std::string dir = tempDir("size");
    const std::string run = " --size 1920x1080 --fps 10 --from 10 --to 10.2 --seed 1";
    ASSERT_EQ(capture("--out " + dir + run).status, 0);
    EXPECT_EQ(firstLine("identify -format '%wx%h' '" + frame(dir, 0) + "'"), "1920x1080");
    // ImageMagick reads a region of a file named as file[WxH+X+Y].
    EXPECT_EQ(brightness(frame(dir, 0) + "[240x1080+0+0]"), 0) << "the left bar";
    EXPECT_EQ(brightness(frame(dir, 0) + "[240x1080+1680+0]"), 0) << "the right bar";
    EXPECT_GT(brightness(frame(dir, 0) + "[1440x1080+240+0]"), 25) << "the knot at 10 s";
    std::string es2 = tempDir("size_es2");
    ASSERT_EQ(capture("--out " + es2 + run + " --gl es2").status, 0);
    EXPECT_EQ(brightness(frame(es2, 0) + "[240x1080+0+0]"), 0) << "the left bar through ES 2";
    EXPECT_NEAR(brightness(frame(es2, 0) + "[1440x1080+240+0]"), brightness(frame(dir, 0) + "[1440x1080+240+0]"), 0.5)
        << "the knot through ES 2";
    ASSERT_EQ(capture("--out " + dir + "/s.mp4" + run).status, 0);
    EXPECT_EQ(firstLine("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" + dir + "/s.mp4'"),
              "1920,1080\n");
    // Its two frames against the PNG frames, as ffmpeg's psnr filter measures them: an upright
    // picture in its own colours loses far less than the eye could see.
    const std::string psnr = firstLine("ffmpeg -v info -i '" + dir + "/s.mp4' -framerate 10 -i '" + dir +
                                       "/frame_%06d.png' -lavfi psnr -f null - 2>&1 | grep -o 'average:[0-9.]*'");
    EXPECT_GT(std::atof(psnr.c_str() + std::min<size_t>(psnr.size(), 8)), 40.0) << psnr;
}

// Pixels of the knot tube in a PNG frame: neither the dark red background, nor a ball's pale
// glow, nor a pure red swirl point.
long tubeArea(const std::string& png)
{
    std::string cmd = "convert '" + png + "' -depth 8 rgb:-";
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        return -1;
    }
    std::vector<unsigned char> rgb(640 * 480 * 3);
    size_t got = std::fread(rgb.data(), 1, rgb.size(), p);
    pclose(p);
    if (got != rgb.size()) {
        return -1;
    }
    long area = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        bool background = r >= 86 && r <= 92 && g < 4 && b < 4;
        bool swirl = r == 255 && g == 0 && b == 0;
        bool ball = g > 60;
        area += !background && !swirl && !ball;
    }
    return area;
}

TEST(Capture, TheKnotSwellsOnTheFrameOfTheFirstBeatAfterTheTubeIsComplete)
{
    // When the beats fall, by the player itself: rendered in slices of 32 sound frames.
    ResourceBlob* blob = findResourceBlob("CHIP1", "MODMUSIC");
    ASSERT_NE(blob, nullptr);
    startSound();
    ASSERT_EQ(playModule(blob->data, blob->size), 1);
    std::free(blob);
    std::vector<double> beats;  // seconds at which a beat has been raised
    int16_t slice[64];
    takeBeat();
    for (int n = 0; n < 44100 * 12; n += 32) {
        nullOutputPull(slice, 32);
        if (takeBeat()) {
            beats.push_back((n + 32) / 44100.0);
        }
    }
    shutdownSound();

    // At 30 fps every pass steps, so step k runs in frame k - 1, and the tube is complete
    // (growthCount 180) from step 180 on: frame 179. A step sees the beats raised up to its
    // frame's time; the first reacting frame is the first from 179 whose interval holds a beat.
    const int fps = 30;
    int expected = -1;
    for (int f = 179; f < 12 * fps && expected < 0; ++f) {
        double lo = static_cast<double>(static_cast<long>(f - 1) * 1000 / fps) / 1000.0;
        double hi = static_cast<double>(static_cast<long>(f) * 1000 / fps) / 1000.0;
        for (double b : beats) {
            if (b > lo && b <= hi) {
                expected = f;
            }
        }
    }
    ASSERT_GT(expected, 0) << "no beat within 12 s";

    std::string dir = tempDir("beat");
    const int first = 170;
    ASSERT_EQ(capture("--out " + dir + " --fps 30 --from " + std::to_string(first / 30.0 + 0.001) + " --to " +
                      std::to_string((expected + 8) / 30.0) + " --seed 4")
                  .status,
              0);
    // The tube's area jumps by the swelling's 15 % in each direction, far above the frame to
    // frame change of the orbit.
    int reacted = -1;
    long previous = tubeArea(frame(dir, 0));
    for (int f = first + 2; f <= expected + 6 && reacted < 0; ++f) {
        long area = tubeArea(frame(dir, f - first - 1));
        ASSERT_GT(area, 0);
        if (f - first - 1 > 0) {
            previous = tubeArea(frame(dir, f - first - 2));
        }
        if (static_cast<double>(area) > 1.12 * static_cast<double>(previous)) {
            reacted = f;
        }
    }
    EXPECT_NEAR(reacted, expected, 1) << "beat expected on frame " << expected;
    std::printf("first counted beat: expected on frame %d, the knot swelled on frame %d\n", expected, reacted);
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
