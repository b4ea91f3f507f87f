// The standing GL state the scenes rely on, and the pass's clear.
#pragma once

// Set once right after the context is made (by finishDemoWindow): the view on the picture
// area, and points and lines as wide as one unit of it.
void setInitialGlState();

// The pass's clear: colour and depth over the picture area, and around a picture that leaves
// bars, the bars to black (a swap may leave them undefined).
void clearFrame();
