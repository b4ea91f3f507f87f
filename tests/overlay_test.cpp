// The fades, the overlay projection and bitmap text, through the recorded GL.
#include <gtest/gtest.h>

#include <string>

#include "shell/overlay.h"
#include "shell/window.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/gl_recorder.h"

namespace {

class Overlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        glRecorderReset();
        fakeClockAdvanceOnRead(0);
        fakeClockSet(100000);
    }
};

float lastFadeAlpha()
{
    auto colours = glCallsNamed("glColor4f");
    EXPECT_FALSE(colours.empty());
    return colours.empty() ? -99.0f : static_cast<float>(colours.back().args[3]);
}

const std::vector<std::string> FADE_SEQUENCE = {
    "glBlendFunc", "glMatrixMode", "glPushMatrix", "glLoadIdentity", "glOrtho", "glMatrixMode", "glPushMatrix",
    "glEnable", "glLoadIdentity", "glColor4f", "glBegin", "glTexCoord2f", "glVertex2d", "glTexCoord2f",
    "glVertex2d", "glTexCoord2f", "glVertex2d", "glTexCoord2f", "glVertex2d", "glEnd", "glMatrixMode",
    "glPopMatrix", "glMatrixMode", "glPopMatrix", "glBlendFunc",
};

TEST_F(Overlay, FadeInAlphaFallsFromOneToZeroOverASecondAndKeepsDrawing)
{
    fadeIn(100000);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 1.0f);
    fakeClockSet(100500);
    fadeIn(100000);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 0.5f);
    fakeClockSet(101000);
    glRecorderReset();
    fadeIn(100000);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 0.0f);
    EXPECT_EQ(glCallNames(), FADE_SEQUENCE);
    fakeClockSet(105000);
    fadeIn(100000);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), -4.0f);  // clamped to 0 by GL, passed on unchanged
}

TEST_F(Overlay, FadeOutDrawsUpToExactlyOneSecondThenReportsCompletionWithoutAnyGlCall)
{
    EXPECT_EQ(fadeOut(100000), 0);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 0.0f);
    fakeClockSet(101000);
    glRecorderReset();
    EXPECT_EQ(fadeOut(100000), 0);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 1.0f);
    EXPECT_EQ(glCallNames(), FADE_SEQUENCE);
    fakeClockSet(101001);
    glRecorderReset();
    EXPECT_EQ(fadeOut(100000), 1);
    EXPECT_EQ(glrec.callCount, 0);
}

TEST_F(Overlay, EitherFadeLeavesModelviewCurrentMatricesUnchangedAndStandingBlend)
{
    glMatrixMode(GL_PROJECTION);
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_MODELVIEW);
    glRotatef(30, 0, 1, 0);
    const Mat4 projection = glrec.projection.back();
    const Mat4 modelview = glrec.modelview.back();
    for (int which = 0; which < 2; ++which) {
        fakeClockSet(100400);
        if (which == 0) {
            fadeIn(100000);
        } else {
            EXPECT_EQ(fadeOut(100000), 0);
        }
        EXPECT_EQ(glrec.matrixMode, static_cast<GLenum>(GL_MODELVIEW));
        EXPECT_EQ(glrec.projection.back(), projection);
        EXPECT_EQ(glrec.modelview.back(), modelview);
        EXPECT_EQ(glrec.projection.size(), 1u);
        EXPECT_EQ(glrec.modelview.size(), 1u);
        EXPECT_TRUE(glrec.enabled.count(GL_BLEND));
        EXPECT_EQ(glrec.blendSrc, static_cast<GLenum>(GL_SRC_ALPHA));
        EXPECT_EQ(glrec.blendDst, static_cast<GLenum>(GL_ONE_MINUS_SRC_ALPHA));
    }
}

TEST_F(Overlay, ElapsedTimeSurvivesTheTickCounterWrap)
{
    const uint32_t start = 0xFFFFFFFFu - 255u;  // 256 ms before the counter wraps to 0
    fakeClockSet(256);
    fadeIn(start);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 1.0f - 0.512f);
    EXPECT_EQ(fadeOut(start), 0);
    EXPECT_FLOAT_EQ(lastFadeAlpha(), 0.512f);
}

TEST_F(Overlay, BitmapTextFormatsSetsRasterAndRestoresListBase)
{
    windowCore.fontListBase = 1000;
    glListBase(7);
    glRecorderReset();
    glrec.listBase = 7;
    drawBitmapText("%s", 10.0f, 20.0f, "");
    EXPECT_EQ(glCallNames(), (std::vector<std::string>{"glRasterPos2f", "glPushAttrib", "glListBase", "glCallLists",
                                                        "glPopAttrib"}));
    EXPECT_EQ(glCallsNamed("glRasterPos2f")[0].args, (std::vector<double>{10, 20}));
    EXPECT_EQ(glCallsNamed("glPushAttrib")[0].args[0], GL_LIST_BIT);
    EXPECT_EQ(glCallsNamed("glListBase")[0].args[0], 1000);
    EXPECT_EQ(glCallsNamed("glCallLists")[0].args[0], 0);
    EXPECT_EQ(glrec.listBase, 7u);

    glRecorderReset();
    drawBitmapText("score %d of %s", 1.5f, 2.5f, 42, "you");
    EXPECT_EQ(glCallsNamed("glCallLists")[0].text, "score 42 of you");
}

TEST_F(Overlay, BitmapTextDraws255CharactersAndCutsLongerTextsThere)
{
    std::string exact(255, 'a');
    drawBitmapText("%s", 0, 0, exact.c_str());
    EXPECT_EQ(glCallsNamed("glCallLists")[0].text, exact);

    glRecorderReset();
    std::string longer(300, 'b');
    longer[255] = 'X';
    drawBitmapText("%s", 0, 0, longer.c_str());
    auto lists = glCallsNamed("glCallLists");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].args[0], 255);
    EXPECT_EQ(lists[0].text, std::string(255, 'b'));
}

}  // namespace
