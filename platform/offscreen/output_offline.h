// The capture's sound output, linked in place of a device (music/output.h): nothing pulls the
// player's audio but the capture itself.
#pragma once

#include <cstdint>

// Renders `frames` frames of the module into `out` if the player has started the output,
// otherwise fills silence.
void offlineAudioRender(int16_t* out, int frames);
