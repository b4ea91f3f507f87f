// The sound output: a seam between the player and the platform. The player hands it a render
// function and the output pulls interleaved signed 16-bit frames from it. Linked, not switched:
// platform/sdl/output_sdl.cpp (the SDL2 audio device) in the program,
// platform/offscreen/output_offline.cpp (pulled by the capture itself) in the capture tool,
// tests/fakes/null_output.cpp (no device) in the tests.
#pragma once

#include <cstdint>

// Fills `frames` interleaved frames (channels samples each) of signed 16-bit audio at `out`.
using AudioRender = void (*)(int16_t* out, int frames);

// Opens the output at `rate` frames per second with `channels` interleaved channels, pulling
// `frames` frames at a time from `render`. It starts paused. True when an output is open
// (possibly a silent one that consumes audio at real-time pace), false when none could be.
bool audioOutputOpen(int rate, int channels, int frames, AudioRender render);

// Starts pulling audio from the render function.
void audioOutputResume();

// While locked, the render function is not running and will not start; state it shares with
// the main thread may be changed. Does nothing when no output is open.
void audioOutputLock();
void audioOutputUnlock();

// The playback position: how many of the frames pulled from the render function since the
// output was opened have been played, i.e. heard, by now. Never more than were pulled and
// never less than the last answer while the output stays open; 0 when none is open. An
// estimate on a real device, exact where the output itself decides when a frame counts as
// played. Called from the main thread; it takes no lock the render function waits for.
int64_t audioOutputPlayedFrames();

// Stops the output and releases the device.
void audioOutputClose();
