// The standing GL state the scenes rely on, and the pass's clear.
#pragma once

// Set once right after the context is made (by finishDemoWindow): the view on the picture
// area, and points and lines as wide as one unit of it.
void setInitialGlState();

// The pass's clear: colour and depth over the picture area, and around a picture that leaves
// bars, the bars to black (a swap may leave them undefined).
void clearFrame();

// In a debug build, one line on stderr for every GL error raised since the last call; the main
// loop calls it once per pass. In a release build it does nothing, not even a GL call.
void reportGlErrors();
