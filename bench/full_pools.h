// Both particle pools filled to the last record, the heaviest layer the tunnel ever draws:
// 10000 grey dots over the figure's area and 1000 sparks spread across the lower screen.
#pragma once

#include "scenes/tunnel/particles.h"

inline void fillParticlePools()
{
    for (int i = 0; i < DOT_POOL_SIZE; ++i) {
        particleField.dots[i] = Particle{256.0f + static_cast<float>(i % 128), 176.0f + static_cast<float>(i / 128), 0.0f, 0.0f,
                              0.5f, 0.5f, 0.5f, 1};
    }
    for (int i = 0; i < SPARK_POOL_SIZE; ++i) {
        particleField.sparks[i] = Particle{200.0f + static_cast<float>(i % 240), 100.0f + static_cast<float>(i / 10), 0.01f,
                                0.2f, 1.0f, 0.6f, 0.0f, 1};
    }
}
