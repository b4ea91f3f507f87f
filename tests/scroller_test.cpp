// The scroller through the recorded GL: its band, opacity ramp, centring, timing and text.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "scenes/tunnel/scroller.h"
#include "tests/gl_recorder/gl_recorder.h"

namespace {

struct DrawnRow {
    float x;
    float y;
    float alpha;
    std::string text;
};

// Each drawn row as the raster position, the colour set just before it, and the bytes drawn.
std::vector<DrawnRow> drawRows()
{
    glRecorderReset();
    scrollerDraw();
    std::vector<DrawnRow> rows;
    const auto& calls = glrec.calls;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].name != "glRasterPos2f") {
            continue;
        }
        EXPECT_GT(i, 0u);
        EXPECT_EQ(calls[i - 1].name, "glColor4f") << "the colour must be current when the raster position is set";
        DrawnRow row{static_cast<float>(calls[i].args[0]), static_cast<float>(calls[i].args[1]),
                     static_cast<float>(calls[i - 1].args[3]), ""};
        int list = glFindCall("glCallLists", i);
        EXPECT_GE(list, 0);
        if (list >= 0) {
            row.text = calls[list].text;
        }
        rows.push_back(row);
    }
    return rows;
}

void advance(int times)
{
    for (int i = 0; i < times; ++i) {
        scrollerAdvance();
    }
}

class Scroller : public ::testing::Test {
protected:
    void SetUp() override { scrollPosition = SCROLL_START; }
    void TearDown() override
    {
        scrollerLines[0] = savedFirstRow;
        scrollPosition = SCROLL_START;
    }
    const char* savedFirstRow = scrollerLines[0];
};

TEST_F(Scroller, NothingIsDrawnBeforeTheFirstAdvance)
{
    EXPECT_TRUE(drawRows().empty());
    EXPECT_EQ(glrec.callCount, 0);
}

TEST_F(Scroller, BandEdgesAreExcludedAndOpacityIsHalfJustInside)
{
    scrollPosition = 32.0f;
    EXPECT_TRUE(drawRows().empty());

    scrollPosition = 160.0f;
    for (const DrawnRow& row : drawRows()) {
        EXPECT_NE(row.y, 160.0f);
    }

    scrollPosition = 32.5f;
    auto rows = drawRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].y, 32.5f);
    EXPECT_EQ(rows[0].alpha, 0.50390625f);
}

TEST_F(Scroller, FirstRowReachesFullOpacityAfter232Advances)
{
    advance(232);
    EXPECT_EQ(scrollPosition, 96.0f);
    auto rows = drawRows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].y, 96.0f);
    EXPECT_EQ(rows[0].alpha, 1.0f);
    EXPECT_EQ(rows[0].text, ".:: Quiltrax ::.");
}

// Row k shows from 105 + 28k to 359 + 28k advances inclusive; every row takes its slot,
// empty or not, and the last row is shown too.
TEST_F(Scroller, EveryRowIncludingTheLastIsDrawnExactlyInItsAdvanceWindow)
{
    std::vector<int> firstSeen(SCROLLER_LINE_COUNT, -1);
    std::vector<int> lastSeen(SCROLLER_LINE_COUNT, -1);
    const int total = 360 + 28 * (SCROLLER_LINE_COUNT - 1) + 10;
    for (int m = 0; m <= total; ++m) {
        for (const DrawnRow& row : drawRows()) {
            const int k = static_cast<int>((scrollPosition - row.y) / 14.0f);
            ASSERT_EQ(scrollPosition - 14.0f * static_cast<float>(k), row.y);
            ASSERT_EQ(row.text, scrollerLines[k]);
            if (firstSeen[k] < 0) {
                firstSeen[k] = m;
            }
            lastSeen[k] = m;
        }
        scrollerAdvance();
    }
    for (int k = 0; k < SCROLLER_LINE_COUNT; ++k) {
        EXPECT_EQ(firstSeen[k], 105 + 28 * k) << "row " << k;
        EXPECT_EQ(lastSeen[k], 359 + 28 * k) << "row " << k;
    }
    EXPECT_STREQ(scrollerLines[SCROLLER_LINE_COUNT - 1], "or wait for the song to end...");
}

TEST_F(Scroller, RowsAreCentredByHalfTheirByteLengthRoundedDown)
{
    scrollPosition = 96.0f;
    scrollerLines[0] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 bytes
    EXPECT_EQ(drawRows()[0].x, 215.0f);
    scrollerLines[0] = "abcdefghijklmnopqrstuvwxyz01234";  // 31 bytes
    EXPECT_EQ(drawRows()[0].x, 215.0f);
    scrollerLines[0] = "";
    auto rows = drawRows();
    EXPECT_EQ(rows[0].x, 320.0f);
    EXPECT_EQ(rows[0].text, "");
}

TEST_F(Scroller, RowTextIsDrawnLiterallyNeverUsedAsAFormat)
{
    scrollPosition = 96.0f;
    scrollerLines[0] = "100% sure: %s %n %d";
    EXPECT_EQ(drawRows()[0].text, "100% sure: %s %n %d");
}

TEST(ScrollerText, HasTheDesignedRowsRulesAndQuotedLines)
{
    const std::set<int> emptyRows = {13, 20, 23, 29, 33, 37, 40, 47, 51, 56, 57,
                                     62, 63, 64, 68, 69, 70, 71, 73, 74, 75, 76};
    for (int k = 0; k < SCROLLER_LINE_COUNT; ++k) {
        const char* line = scrollerLines[k];
        ASSERT_NE(line, nullptr);
        EXPECT_LE(std::strlen(line), 59u) << "row " << k;
        EXPECT_EQ(std::strchr(line, '%'), nullptr) << "row " << k;
        EXPECT_EQ(emptyRows.count(k) == 1, line[0] == '\0') << "row " << k;
        for (const char* c = line; *c != '\0'; ++c) {
            EXPECT_TRUE(*c >= 0x20 && *c < 0x7f) << "row " << k;
        }
    }
    EXPECT_STREQ(scrollerLines[0], ".:: Quiltrax ::.");
    EXPECT_STREQ(scrollerLines[1], "--- presents ----");
    EXPECT_STREQ(scrollerLines[2], "a small demo");
    EXPECT_STREQ(scrollerLines[4], "by");
    EXPECT_EQ(std::string(scrollerLines[6]), std::string(17, '-'));
    EXPECT_STREQ(scrollerLines[14], "Greetings and thanks:");
    EXPECT_EQ(std::string(scrollerLines[15]), std::string(21, '-'));
    EXPECT_STREQ(scrollerLines[16], "Extremely big thanks goes out to:");
    EXPECT_EQ(std::string(scrollerLines[42]), std::string(35, '-'));
    EXPECT_STREQ(scrollerLines[72], "Feel free to press ESC to quit");
    EXPECT_STREQ(scrollerLines[77], "or wait for the song to end...");
}

}  // namespace
