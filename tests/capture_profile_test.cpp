// yarvik-capture --profile: one CSV row per pass of the demo's loop, with the scene the pass
// drew and its wall time, and nothing encoded.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef YARVIK_CAPTURE_BIN
#error "YARVIK_CAPTURE_BIN must name the capture tool"
#endif

namespace {

struct Row {
    long frame;
    long demoMs;
    int scene;
    double passMs;
    double audioMs;
    long audioFrames;
    long draws;
};

int runCapture(const std::string& args)
{
    std::string cmd = std::string(YARVIK_CAPTURE_BIN) + " " + args + " >/dev/null 2>&1";
    int raw = std::system(cmd.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The rows of a profile; the header must be the one the report script reads.
std::vector<Row> readProfile(const std::string& path, std::string* header)
{
    std::ifstream in(path);
    std::vector<Row> rows;
    std::getline(in, *header);
    std::string line;
    while (std::getline(in, line)) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream fields(line);
        Row r{};
        fields >> r.frame >> r.demoMs >> r.scene >> r.passMs >> r.audioMs >> r.audioFrames >> r.draws;
        if (fields) {
            rows.push_back(r);
        }
    }
    return rows;
}

// On either GL; through the layer each pass also counts the ES draws it made (the knot's first
// frames: its fade, the stars and the tube's first segments, a handful of draws).
TEST(CaptureProfile, OneRowPerFrameWithItsSceneTimeAndSoundSlice)
{
    const std::string path = std::string(::testing::TempDir()) + "yarvik_profile.csv";
    for (const char* gl : {"desktop", "es2"}) {
        std::remove(path.c_str());
        ASSERT_EQ(runCapture("--profile " + path + " --fps 20 --to 2 --seed 5 --gl " + gl), 0) << gl;
        std::string header;
        std::vector<Row> rows = readProfile(path, &header);
        EXPECT_EQ(header, "frame,demo_ms,scene,pass_ms,audio_ms,audio_frames,draws");
        ASSERT_EQ(rows.size(), 40u) << gl;
        long audioFrames = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].frame, static_cast<long>(i));
            EXPECT_EQ(rows[i].demoMs, static_cast<long>(i) * 50);
            EXPECT_EQ(rows[i].scene, 1) << "frame " << i;
            EXPECT_GT(rows[i].passMs, 0.0) << "frame " << i;
            if (std::strcmp(gl, "es2") == 0) {
                EXPECT_TRUE(rows[i].draws >= 2 && rows[i].draws < 100) << "frame " << i << ": " << rows[i].draws;
            } else {
                EXPECT_EQ(rows[i].draws, 0) << "frame " << i;
            }
            audioFrames += rows[i].audioFrames;
        }
        EXPECT_EQ(audioFrames, 2 * 44100) << gl << ": the music is not rendered in lockstep while profiling";
    }
}

TEST(CaptureProfile, RefusedAlongsideOut)
{
    EXPECT_EQ(runCapture("--profile a.csv --out b"), 2);
    EXPECT_EQ(runCapture("--profile"), 2);
}

}  // namespace
