// The sound output: a seam between the player and the platform. The player hands it a render
// function and the output pulls interleaved signed 16-bit frames from it. Linked, not switched:
// music/output_sdl.cpp (the SDL2 audio device) in the program, tests/support/null_output.cpp
// (no device) in the tests, an offline output of its own in a capture tool.
#pragma once

#include <cstdint>

// Fills `frames` interleaved frames (channels samples each) of signed 16-bit audio at `out`.
using AudioRender = void (*)(int16_t* out, int frames);

// Opens the output at `rate` frames per second with `channels` interleaved channels, pulling
// `frames` frames at a time from `render`. It starts paused. Returns 1 when an output is open
// (possibly a silent one that consumes audio at real-time pace), 0 when none could be opened.
int audioOutputOpen(int rate, int channels, int frames, AudioRender render);

// Starts pulling audio from the render function.
void audioOutputResume();

// While locked, the render function is not running and will not start; state it shares with
// the main thread may be changed. Does nothing when no output is open.
void audioOutputLock();
void audioOutputUnlock();

// Stops the output and releases the device.
void audioOutputClose();
