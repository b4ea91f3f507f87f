// The scroller: the demo's closing words, advanced half a unit per logic step.
#include "scenes/tunnel/scroller.h"

#include <cmath>
#include <cstring>

#include "shell/gl.h"
#include "shell/overlay.h"
#include "shell/screen.h"

// clang-format off
const char* scrollerLines[SCROLLER_LINE_COUNT] = {
    ".:: Quiltrax ::.",
    "--- presents ----",
    "a small demo",
    "made for the Kettlewick Party, edition number 3",
    "by",
    "Tallow & Brindle",
    "-----------------",
    "This is our very first production, so please be gentle.",
    "It began as a spinning knot on a borrowed laptop and",
    "grew, one sleepless night after another, into a flight",
    "through a tunnel with a pen that draws on its own.",
    "Most of it was finished on the train to the party, the",
    "rest at a wobbly table right next to the power strip.",
    "",
    "Greetings and thanks:",
    "---------------------",
    "Extremely big thanks goes out to:",
    "Fennick of Loomwork Audio",
    "for the tune that kept us going at four in the morning",
    "and for letting us hang our pixels on his beats.",
    "",
    "Copperleaf, for showing us the insides of their demo",
    "tool and answering every single one of our questions.",
    "",
    "The Kettlewick organisers, for the hall, the big screen,",
    "the compo machine that somehow survived us, the coffee",
    "that never ran out, and the patience to explain the",
    "deadline to us three times. We promise to read the",
    "rules before the next edition.",
    "",
    "The crew at the food stall, for the late-night soup,",
    "the pancakes at dawn, and for always finding one more",
    "portion when the pot already looked empty.",
    "",
    "Greetings to the Marrowgate Collective: your intro made",
    "us rewrite our tunnel twice. See you at the next compo,",
    "and do bring the fog machine again!",
    "",
    "And to everyone who carries cables, sweeps the floors",
    "and keeps the lights on: this party is yours.",
    "",
    "A few words to our fellow visitors:",
    "-----------------------------------",
    "To whoever keeps borrowing our extension cord:",
    "we have noticed. It is the orange one with our name",
    "written on it in large letters. Twice. Please bring",
    "it back before our screens go dark for good.",
    "",
    "To the sleeper under table six: your snoring keeps",
    "a very steady beat, but it is out of sync with every",
    "single tune in the music compo.",
    "",
    "To the one who ate the last of our biscuits:",
    "we had a plan for those. It was a good plan.",
    "It involved the final hour before the deadline.",
    "We are not angry, only very, very hungry.",
    "",
    "",
    "That is all from us. Thank you for watching our first",
    "little demo all the way to the end. May your code",
    "compile on the first try, your tunes never clip, and",
    "your parties last all weekend. See you next year!",
    "",
    "",
    "",
    "P.S. No knots were harmed in the making of this demo,",
    "although a few of them got terribly tangled.",
    "Signed, Tallow & Brindle",
    "",
    "",
    "",
    "",
    "Feel free to press ESC to quit",
    "",
    "",
    "",
    "",
    "or wait for the song to end...",
};
// clang-format on

ScrollerState scroller = SCROLLER_START_STATE;

static constexpr float LINE_SPACING = 14.0f;
static constexpr float BAND_BOTTOM = 32.0f;
static constexpr float BAND_TOP = 160.0f;
static constexpr float FADE_CENTRE = 96.0f;
static constexpr float FADE_SCALE = 0.0078125f;  // 1/128: opacity 0.5 at the band's edges
static constexpr int CENTRE_X = SCREEN_WIDTH / 2;
static constexpr int UNITS_PER_CHARACTER_PAIR = 7;
static constexpr float SCROLL_STEP = 0.5f;

void scrollerAdvance() { scroller.scrollPosition += SCROLL_STEP; }

// The colour is set before drawBitmapText sets the raster position, which takes the colour
// current at that moment. A line is always the argument of "%s", so its bytes are shown as
// they are, whatever they hold.
void scrollerDraw()
{
    for (int k = 0; k < SCROLLER_LINE_COUNT; ++k) {
        const char* line = scrollerLines[k];
        const float y = scroller.scrollPosition - LINE_SPACING * static_cast<float>(k);
        const int length = static_cast<int>(std::strlen(line));
        const float x = static_cast<float>(CENTRE_X - UNITS_PER_CHARACTER_PAIR * (length >> 1));
        const float fade = std::fabs((FADE_CENTRE - y) * FADE_SCALE);
        if (y > BAND_BOTTOM && y < BAND_TOP) {
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f - fade);
            drawBitmapText("%s", x, y, line);
        }
    }
}
