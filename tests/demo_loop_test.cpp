// The main loop on the fake clock, the fake window and the recorded GL, handed a recording
// scene table and a scripted music player in place of the demo's own parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "shell/demo.h"
#include "shell/scenes.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_window.h"
#include "tests/fakes/gl_recorder.h"

namespace {

std::vector<std::string> events;  // start-up, scene and shutdown calls in order
bool musicOn = true;               // what isModulePlaying reports
int musicWatches = 0;
std::vector<uint32_t> beatLeads;   // what the loop aimed the beats at, before each step
int step1Result = 0;               // what scene 1's step returns
bool moduleMissing = false;        // the resource "CHIP1" is not there

// What one pass did, read off the recorder when the next loop test begins.
struct Pass {
    uint32_t start;
    bool stepped;
    int drewScene;     // 0: none
    bool faded;
    float fadeAlpha;
    int musicWatches;
};
std::vector<Pass> passes;
std::vector<std::string> lastPassCalls;  // GL calls of the most recent pass
size_t eventsSeen = 0;
uint32_t passStart = 0;

void logEvent(const std::string& e) { events.push_back(e); }

void summarisePass()
{
    Pass p{passStart, false, 0, false, 0.0f, musicWatches};
    for (size_t i = eventsSeen; i < events.size(); ++i) {
        if (events[i].rfind("step", 0) == 0) {
            p.stepped = true;
        }
        if (events[i].rfind("draw", 0) == 0) {
            p.drewScene = events[i][4] - '0';
        }
    }
    lastPassCalls = glCallNames();
    for (const GlCall& c : glrec.calls) {
        if (c.name == "glColor4f" && c.args[0] == 0 && c.args[1] == 0 && c.args[2] == 0) {
            p.faded = true;
            p.fadeAlpha = static_cast<float>(c.args[3]);
        }
    }
    passes.push_back(p);
}

// Runs at every loop test: closes the record of the pass before it, then moves time on.
uint32_t millisPerPass = 10;
std::function<void(int)> atPass;  // called with the number of passes completed so far
bool inLoop = false;

void onPump()
{
    if (inLoop) {
        summarisePass();
    }
    inLoop = true;
    eventsSeen = events.size();
    glrec.calls.clear();
    if (atPass) {
        atPass(static_cast<int>(passes.size()));
    }
    fakeClockAdvance(millisPerPass);
    passStart = fakeClockNow();
}

// The recording scene table and scripted music player the loop is handed.
void prepareScenes() { logEvent("prepare"); }
void init1() { logEvent("init1"); }
void init2() { logEvent("init2"); }
int step1()
{
    logEvent("step1");
    return step1Result;
}
int step2()
{
    logEvent("step2");
    return 0;
}
void draw1() { logEvent("draw1"); }
void draw2() { logEvent("draw2"); }
void release1() { logEvent("release1"); }
void release2() { logEvent("release2"); }

// The resources, with a module that can be taken away.
const unsigned char FAKE_MODULE[] = "Extended Module: ";

ResourceBlob* findModule(const char* name, const char* type)
{
    if (moduleMissing || std::strcmp(name, "CHIP1") != 0 || std::strcmp(type, "MODMUSIC") != 0) {
        return nullptr;
    }
    ResourceBlob* blob = static_cast<ResourceBlob*>(std::calloc(1, sizeof(ResourceBlob)));
    blob->size = sizeof FAKE_MODULE;
    blob->data = FAKE_MODULE;
    return blob;
}

void scriptedStartSound() { logEvent("startSound"); }
int scriptedPlayModule(const unsigned char* bytes, uint32_t length)
{
    logEvent(bytes != nullptr && length > 0 ? "playModule" : "playModule(empty)");
    fakeClockAdvance(100);  // loading takes time; the fade-in starts after it
    return 1;
}
int scriptedIsModulePlaying()
{
    ++musicWatches;
    return musicOn ? 1 : 0;
}
void scriptedShutdownSound()
{
    logEvent("shutdownSound");
    EXPECT_EQ(fakeWindow.destroyed, 0) << "the sound stops before the window goes";
}
void scriptedSetBeatLead(uint32_t ms) { beatLeads.push_back(ms); }

const DemoParts RECORDING_PARTS = {
    prepareScenes,
    {{init1, step1, draw1, release1, 0}, {init2, step2, draw2, release2, 2}},
    scriptedStartSound,
    findModule,
    scriptedPlayModule,
    scriptedIsModulePlaying,
    scriptedSetBeatLead,
    scriptedShutdownSound,
};

class DemoLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        glRecorderReset();
        fakeWindowReset();
        fakeWindow.onPump = onPump;
        fakeClockAdvanceOnRead(0);
        fakeClockSet(5000000);
        events.clear();
        passes.clear();
        eventsSeen = 0;
        inLoop = false;
        musicOn = true;
        musicWatches = 0;
        beatLeads.clear();
        step1Result = 0;
        millisPerPass = 10;
        atPass = nullptr;
        moduleMissing = false;
    }

    int run()
    {
        ::testing::internal::CaptureStdout();
        int status = demoRun(RECORDING_PARTS);
        output = ::testing::internal::GetCapturedStdout();
        return status;
    }

    std::string output;
};

int countOf(const std::string& name)
{
    int n = 0;
    for (const std::string& e : events) {
        n += e == name;
    }
    return n;
}

}  // namespace

TEST_F(DemoLoop, StartsUpInOrderAndShutsDownInOrder)
{
    atPass = [](int done) {
        if (done == 3) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    EXPECT_EQ(run(), 0);
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 5),
              (std::vector<std::string>{"startSound", "prepare", "init1", "init2", "playModule"}));
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"release1", "release2", "shutdownSound"}));
    EXPECT_EQ(fakeWindow.created, 1);
    EXPECT_EQ(fakeWindow.destroyed, 1);
    // Sphere mapping stands ready for the knot's tube, which switches generation on.
    EXPECT_EQ(glrec.texGenMode[GL_S], GL_SPHERE_MAP);
    EXPECT_EQ(glrec.texGenMode[GL_T], GL_SPHERE_MAP);
    EXPECT_EQ(output, "Exiting sanely...\nExiting sanely...\n");
    // The fade-in starts after the module was started, so the first frame is fully black.
    ASSERT_FALSE(passes.empty());
    EXPECT_FLOAT_EQ(passes[0].fadeAlpha, 1.0f - 10.0f / 1000.0f);
}

TEST_F(DemoLoop, MissingModuleIsNeverPlayedAndIsNamedOnStderrOnly)
{
    moduleMissing = true;
    atPass = [](int done) {
        if (done == 3) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "yarvik: the program holds no resource \"CHIP1\" of type \"MODMUSIC\"\n");
    EXPECT_EQ(countOf("playModule"), 0);
    EXPECT_EQ(countOf("playModule(empty)"), 0);
    EXPECT_EQ(output, "Exiting sanely...\nExiting sanely...\n");
}

// A debug build names a GL error once, in the pass that raised it; a release build asks GL
// for nothing.
TEST_F(DemoLoop, GlErrorsAreReportedOncePerPassInADebugBuildOnly)
{
    atPass = [](int done) {
        if (done == 2) {
            glrec.error = GL_INVALID_OPERATION;
        }
        if (done == 4) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    ::testing::internal::CaptureStderr();
    run();
    const std::string err = ::testing::internal::GetCapturedStderr();
#ifdef NDEBUG
    EXPECT_EQ(err, "");
    EXPECT_EQ(glrec.error, GLenum(GL_INVALID_OPERATION));
#else
    EXPECT_EQ(err, "yarvik: GL error 0x0502 in this pass\n");
#endif
}

TEST_F(DemoLoop, FirstPassStepsBeforeItDrawsAndAPassWithNoStepDueStillWatchesDrawsAndFades)
{
    atPass = [](int done) {
        if (done == 4) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    run();
    ASSERT_GE(passes.size(), 4u);
    const size_t firstStep = static_cast<size_t>(std::find(events.begin(), events.end(), "step1") - events.begin());
    ASSERT_LT(firstStep + 1, events.size());
    EXPECT_EQ(events[firstStep + 1], "draw1");
    EXPECT_EQ(countOf("draw1") > 0 && events[firstStep - 1] != "draw1", true);
    EXPECT_TRUE(passes[0].stepped);
    // 10 ms per pass: the next step falls due only once more than 25 ms have passed.
    EXPECT_FALSE(passes[1].stepped);
    EXPECT_FALSE(passes[2].stepped);
    EXPECT_TRUE(passes[3].stepped);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(passes[i].drewScene, 1);
        EXPECT_TRUE(passes[i].faded);
        EXPECT_EQ(passes[i].musicWatches, passes[i - 1].musicWatches + 1);
    }
}

// Each step aims the beats at the moment between its frame being shown (as long after the step
// as the last one was, and as many steps later as the scene shows a beat) and the next step's:
// a beat changes the frame nearest to when it is heard.
TEST_F(DemoLoop, BeatsAreAimedHalfAStepPastWhenTheStepsFrameShowsThem)
{
    std::vector<int> sceneAtStep;
    atPass = [&sceneAtStep](int done) {
        if (done == 30) {
            fakeClockAdvance(400);  // one pass stalls
        }
        if (done == 33) {
            step1Result = 1;
        }
        if (done == 200) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
        sceneAtStep.resize(beatLeads.size(), demoSceneIndex());
    };
    run();
    ASSERT_GE(beatLeads.size(), 40u);
    // 10 ms passes: a step every third pass, shown at the next loop test.
    EXPECT_EQ(beatLeads[0], 0u) << "nothing is known before the first step";
    EXPECT_EQ(beatLeads[1], 10u + 30u / 2);
    EXPECT_EQ(beatLeads[9], 10u + 30u / 2);
    EXPECT_EQ(beatLeads[10], 100u) << "a step 430 ms after the last is a stall, not a guide";
    EXPECT_EQ(beatLeads[11], 10u + 30u / 2);
    // Scene 2 shows a beat two steps after the step that takes it.
    ASSERT_EQ(sceneAtStep.back(), 2);
    EXPECT_EQ(beatLeads.back(), 10u + 2 * 30u + 30u / 2);
}

TEST_F(DemoLoop, PassClearsLoadsIdentityDrawsBindsTextureZeroFadesAndFlushesInOrder)
{
    atPass = [](int done) {
        if (done == 2) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    run();
    const std::vector<std::string>& names = lastPassCalls;
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(names[0], "glClear");
    EXPECT_EQ(names[1], "glLoadIdentity");
    EXPECT_EQ(names[2], "glBindTexture");
    EXPECT_EQ(names[3], "glBlendFunc");  // the fade overlay begins
    EXPECT_EQ(names.back(), "glFlush");
}

TEST_F(DemoLoop, WithoutMusicEachSceneShowsOnlyItsFadeOutAndTheRunEndsAfterTwoSeconds)
{
    musicOn = false;
    uint32_t started = fakeClockNow();
    EXPECT_EQ(run(), 0);
    uint32_t ended = fakeClockNow();
    // Scene 1 from full brightness to black, scene 2 the same, then at most one step of black.
    EXPECT_GE(ended - started, 2000u);
    EXPECT_LE(ended - started, 2200u);
    ASSERT_FALSE(passes.empty());
    EXPECT_EQ(passes[0].drewScene, 1);
    EXPECT_FLOAT_EQ(passes[0].fadeAlpha, 0.0f);
    EXPECT_EQ(countOf("step2") > 0, true);
    EXPECT_EQ(output, "Exiting sanely...\n");
    for (const std::string& e : events) {
        EXPECT_NE(e, "step3");
    }
}

TEST_F(DemoLoop, CompletedFadeOutShowsTheSceneUnfadedThenTheNextUnderAnAlmostOpaqueFadeIn)
{
    step1Result = 1;  // scene 1 asks to end at once; the music plays on
    atPass = [](int done) {
        if (done == 130) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    run();
    size_t switchPass = 0;
    for (size_t i = 1; i < passes.size(); ++i) {
        if (passes[i].drewScene == 2 && passes[i - 1].drewScene == 1) {
            switchPass = i;
            break;
        }
    }
    ASSERT_GT(switchPass, 90u);
    EXPECT_FALSE(passes[switchPass - 1].faded);  // fadeOut reported completion, drew nothing
    // Scene 2's fade-in starts at the switch: 10 ms later it is still almost black, and it
    // clears over the next second.
    EXPECT_FLOAT_EQ(passes[switchPass].fadeAlpha, 0.99f);
    EXPECT_FLOAT_EQ(passes[switchPass + 20].fadeAlpha, 0.79f);
}

TEST_F(DemoLoop, NewSceneCanBeDrawnBeforeItsFirstStep)
{
    musicOn = false;
    millisPerPass = 1;
    run();
    bool drawnBeforeStep = false;
    bool stepped2 = false;
    for (const std::string& e : events) {
        if (e == "step2") {
            stepped2 = true;
        }
        if (e == "draw2" && !stepped2) {
            drawnBeforeStep = true;
        }
    }
    EXPECT_TRUE(drawnBeforeStep);
}

TEST_F(DemoLoop, FadeOutStartIsTakenOnceAndLaterEndRequestsDoNotRestartIt)
{
    step1Result = 1;  // scene 1 asks to end on every step
    atPass = [](int done) {
        if (done == 120) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    run();
    // Alpha grows steadily with time since the first pass and never falls back.
    float previous = -1.0f;
    size_t i = 0;
    for (; i < passes.size() && passes[i].drewScene == 1 && passes[i].faded; ++i) {
        EXPECT_GT(passes[i].fadeAlpha, previous);
        EXPECT_NEAR(passes[i].fadeAlpha, (passes[i].start - passes[0].start) / 1000.0f, 0.0011f);
        previous = passes[i].fadeAlpha;
    }
    EXPECT_GE(i, 99u);
}

TEST_F(DemoLoop, AfterTheLastSceneOnlyBlackFramesUntilAStepFallsDue)
{
    musicOn = false;
    run();
    ASSERT_FALSE(passes.empty());
    size_t firstBlack = passes.size();
    for (size_t i = 0; i < passes.size(); ++i) {
        if (passes[i].drewScene == 0) {
            firstBlack = i;
            break;
        }
    }
    ASSERT_LT(firstBlack, passes.size());
    for (size_t i = firstBlack; i < passes.size(); ++i) {
        EXPECT_EQ(passes[i].drewScene, 0);
    }
    // The run ends on the first due step: at most three 10 ms passes of black.
    EXPECT_LE(passes.size() - firstBlack, 4u);
    EXPECT_EQ(countOf("step3"), 0);
}

TEST_F(DemoLoop, EscapeDuringAFadeEndsAtTheNextLoopTestWithTheSameShutdown)
{
    step1Result = 1;
    atPass = [](int done) {
        if (done == 30) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(passes.size(), 30u);
    // Every loop test presents, the first an empty frame and the last, which ends the loop, the
    // frame of the last pass.
    EXPECT_EQ(fakeWindow.presents, 31);
    EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
              (std::vector<std::string>{"release1", "release2", "shutdownSound"}));
    EXPECT_EQ(output, "Exiting sanely...\nExiting sanely...\n");
}

TEST_F(DemoLoop, CloseRequestEndsTheLoopLikeEscape)
{
    atPass = [](int done) {
        if (done == 5) {
            fakeWindowQueue(EVENT_CLOSE);
        }
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(passes.size(), 5u);
    EXPECT_EQ(output, "Exiting sanely...\nExiting sanely...\n");
}

TEST_F(DemoLoop, OtherKeysDoNothing)
{
    atPass = [](int done) {
        if (done == 2) {
            fakeWindowQueue(EVENT_OTHER_KEY);
        }
        if (done == 6) {
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    run();
    EXPECT_EQ(passes.size(), 6u);
}

// 1 ms passes: a step falls due once more than 25 ms have passed, so steps come exactly 26 ms
// apart, before, at and after the wrap of the tick counter.
TEST_F(DemoLoop, StepsFall26MsApartAndTheRunKeepsItsLengthAcrossTheTickCounterWrap)
{
    fakeClockSet(0xFFFFFFFFu - 1500u);
    musicOn = false;
    millisPerPass = 1;
    atPass = [](int done) {
        if (done == 4000) {  // a run that no longer ends by itself
            fakeWindowQueue(EVENT_ESCAPE_KEY);
        }
    };
    uint32_t started = fakeClockNow();
    EXPECT_EQ(run(), 0);
    uint32_t elapsed = fakeClockNow() - started;
    EXPECT_GE(elapsed, 2000u);
    EXPECT_LE(elapsed, 2200u);
    EXPECT_GT(countOf("draw2"), 500);
    std::vector<uint32_t> stepTimes;
    for (const Pass& p : passes) {
        if (p.stepped) {
            stepTimes.push_back(p.start);
        }
    }
    ASSERT_GT(stepTimes.size(), 70u);
    for (size_t i = 1; i < stepTimes.size(); ++i) {
        ASSERT_EQ(stepTimes[i] - stepTimes[i - 1], 26u) << "step " << i << " at " << stepTimes[i];
    }
}

TEST_F(DemoLoop, RefusedDisplayModeRunsNoPassNoInitialisationAndShutsDownWithStatusOne)
{
    fakeWindow.refuse = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(), 1);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("refused"), std::string::npos);
    EXPECT_EQ(events, (std::vector<std::string>{"release1", "release2", "shutdownSound"}));
    EXPECT_TRUE(passes.empty());
    EXPECT_EQ(glrec.callCount, 0);
    EXPECT_EQ(output, "");
}

TEST_F(DemoLoop, AWholeRunShowsSceneOneUntilItAsksToEndThenSceneTwoUntilTheMusicStops)
{
    atPass = [](int done) {
        if (done == 3000) {  // 30 s in
            step1Result = 1;
        }
        if (done == 9000) {  // 90 s in
            musicOn = false;
        }
    };
    EXPECT_EQ(run(), 0);
    uint32_t scene1Frames = 0;
    uint32_t scene2Frames = 0;
    for (const Pass& p : passes) {
        scene1Frames += p.drewScene == 1;
        scene2Frames += p.drewScene == 2;
    }
    EXPECT_NEAR(scene1Frames, 3100, 5);  // 30 s, then the one-second fade-out
    EXPECT_NEAR(scene2Frames, 6000, 5);
    EXPECT_EQ(output, "Exiting sanely...\n");
}
