// The closing text: a column of centred lines rising through a band in the lower part of the
// screen, fading from half opacity at the band's edges to full opacity in its middle.
#pragma once

constexpr int SCROLLER_LINE_COUNT = 78;
constexpr float SCROLL_START = -20.0f;

// The text, top line first. Every row takes one 14-unit slot, empty or not.
extern const char* scrollerLines[SCROLLER_LINE_COUNT];

// The scroller's state. A test starts from a fresh one with `scroller = SCROLLER_START_STATE`.
struct ScrollerState {
    float scrollPosition;  // of row 0, in overlay units; the other rows hang below it
};
constexpr ScrollerState SCROLLER_START_STATE = {SCROLL_START};

extern ScrollerState scroller;

// Moves the text up by half a unit; called on every step once the pen's figure is complete.
void scrollerAdvance();
// Draws the rows inside the band, under the overlay projection with an identity modelview.
void scrollerDraw();
