// The tunnel scene's state and inner operations, read by its tests and benchmarks.
#pragma once

#include <cstdint>

#include "math/knot_math.h"
#include "shell/gl.h"

struct TunnelState {
    GLuint tunnelTexture;  // from resource "TUNNEL"; 0 draws the walls untextured
    GLuint ballTexture;    // from resource "BALL", a texture object of the scene's own
    float travelPosition;  // rings flown along the path; also scrolls the wall texture
    float travelSpeed;     // rings per step
    float wobbleAngle;     // phase of the wave that breathes the ring radii
    float wobbleSpeed;     // radians per step
    uint32_t startTick;    // tick of the scene's first step; 0 until then
};

constexpr int RING_COUNT = 27;
constexpr float TRAVEL_SPEED_KICK = 0.2f;
constexpr float WOBBLE_SPEED_KICK = 0.35f;
constexpr float SPEED_DECAY = 0.015f;
constexpr uint32_t PARTICLE_DELAY_MS = 1000;

constexpr TunnelState TUNNEL_START_STATE = {0, 0, 0.0f, TRAVEL_SPEED_KICK, 0.0f, WOBBLE_SPEED_KICK, 0};

extern TunnelState tunnelScene;

// A point of the tunnel's centre line, as an offset from the z axis.
struct PathOffset {
    float x;
    float y;
};

// The centre line at depth d rings, for a tunnel of n rings: closed, retracing itself every
// 4n rings.
PathOffset tunnelPath(float d, int n);
// The 3D half of the scene's drawing: camera, rings and the ball sprite.
void drawTunnel();
// One "error, could not load picture" line for each texture still 0, the tunnel's first.
void tunnelReportMissingTextures();
