// The scroller through the recorded GL: its band, opacity ramp, centring, timing and text.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "scenes/tunnel/scroller.h"
#include "tests/fakes/gl_recorder.h"

namespace {

struct DrawnRow {
    float x;
    float y;
    float alpha;
    std::string text;
};

// Each drawn row: its raster position, the colour set just before it, and the bytes drawn.
std::vector<DrawnRow> drawRows()
{
    glRecorderReset();
    scrollerDraw();
    std::vector<DrawnRow> rows;
    for (size_t i = 0; i < glrec.calls.size(); ++i) {
        const GlCall& raster = glrec.calls[i];
        if (raster.name != "glRasterPos2f") {
            continue;
        }
        const GlCall& colour = glrec.calls[i - 1];
        EXPECT_EQ(colour.name, "glColor4f") << "the colour must be current when the raster position is set";
        const int list = glFindCall("glCallLists", i);
        rows.push_back(DrawnRow{static_cast<float>(raster.args[0]), static_cast<float>(raster.args[1]),
                                static_cast<float>(colour.args[3]), list < 0 ? "?" : glrec.calls[list].text});
    }
    return rows;
}

class Scroller : public ::testing::Test {
protected:
    void SetUp() override { scroller = SCROLLER_START_STATE; }
    void TearDown() override
    {
        scrollerLines[0] = savedFirstRow;
        scroller = SCROLLER_START_STATE;
    }
    const char* savedFirstRow = scrollerLines[0];
};

TEST_F(Scroller, BandExcludesItsEdgesAndFadesToHalfOpacityAtThem)
{
    EXPECT_TRUE(drawRows().empty()) << "before the first advance row 0 sits at y = -20";
    scroller.scrollPosition = 32.0f;
    EXPECT_TRUE(drawRows().empty());
    scroller.scrollPosition = 160.0f;
    const auto top = drawRows();
    EXPECT_EQ(top[0].y, 146.0f) << "row 0 at y = 160 is not drawn";
    EXPECT_EQ(top[0].alpha, 0.609375f) << "rows fade towards the top edge as well";

    scroller.scrollPosition = 32.5f;
    auto rows = drawRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].alpha, 0.50390625f);

    scroller = SCROLLER_START_STATE;
    for (int i = 0; i < 232; ++i) {
        scrollerAdvance();
    }
    rows = drawRows();
    EXPECT_EQ(rows[0].y, 96.0f);
    EXPECT_EQ(rows[0].alpha, 1.0f);
    EXPECT_EQ(rows[0].text, ".:: Quiltrax ::.");
}

// Row k shows from 105 + 28k to 359 + 28k advances inclusive: every row, empty or not, takes
// its slot, and the last one is shown too.
TEST_F(Scroller, EveryRowIncludingTheLastIsDrawnExactlyInItsAdvanceWindow)
{
    std::vector<int> firstSeen(SCROLLER_LINE_COUNT, -1);
    std::vector<int> lastSeen(SCROLLER_LINE_COUNT, -1);
    for (int m = 0; m <= 370 + 28 * (SCROLLER_LINE_COUNT - 1); ++m) {
        for (const DrawnRow& row : drawRows()) {
            const int k = static_cast<int>((scroller.scrollPosition - row.y) / 14.0f);
            ASSERT_EQ(row.text, scrollerLines[k]);
            firstSeen[k] = firstSeen[k] < 0 ? m : firstSeen[k];
            lastSeen[k] = m;
        }
        scrollerAdvance();
    }
    for (int k = 0; k < SCROLLER_LINE_COUNT; ++k) {
        EXPECT_EQ(firstSeen[k], 105 + 28 * k) << "row " << k;
        EXPECT_EQ(lastSeen[k], 359 + 28 * k) << "row " << k;
    }
}

TEST_F(Scroller, RowsAreCentredByHalfTheirByteLengthAndDrawnLiterally)
{
    scroller.scrollPosition = 96.0f;
    scrollerLines[0] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 bytes
    EXPECT_EQ(drawRows()[0].x, 215.0f);
    scrollerLines[0] = "abcdefghijklmnopqrstuvwxyz01234";  // 31 bytes
    EXPECT_EQ(drawRows()[0].x, 215.0f);
    scrollerLines[0] = "";
    EXPECT_EQ(drawRows()[0].x, 320.0f);
    scrollerLines[0] = "100% sure: %s %n %d";
    EXPECT_EQ(drawRows()[0].text, "100% sure: %s %n %d") << "a row must never be used as the format";
}

TEST(ScrollerText, KeepsTheEmptyRowsRulesAndQuotedLinesInPlace)
{
    const std::set<int> emptyRows = {13, 20, 23, 29, 33, 37, 40, 47, 51, 56, 57,
                                     62, 63, 64, 68, 69, 70, 71, 73, 74, 75, 76};
    for (int k = 0; k < SCROLLER_LINE_COUNT; ++k) {
        const std::string line = scrollerLines[k];
        EXPECT_LE(line.size(), 59u) << "row " << k;
        EXPECT_EQ(line.find('%'), std::string::npos) << "row " << k;
        EXPECT_EQ(emptyRows.count(k) == 1, line.empty()) << "row " << k;
    }
    const std::pair<int, std::string> fixed[] = {
        {0, ".:: Quiltrax ::."}, {1, "--- presents ----"}, {2, "a small demo"}, {4, "by"},
        {6, std::string(17, '-')}, {14, "Greetings and thanks:"}, {15, std::string(21, '-')},
        {16, "Extremely big thanks goes out to:"}, {42, std::string(35, '-')},
        {72, "Feel free to press ESC to quit"}, {77, "or wait for the song to end..."}};
    for (const auto& [row, text] : fixed) {
        EXPECT_EQ(scrollerLines[row], text) << "row " << row;
    }
}

}  // namespace
