// The knot scene's drawing in its phases, for tools that draw the same frame with the tube
// submitted another way: camera, light and sphere-map generation before the tube; lighting
// off, balls and swirl after it. knotSceneDraw is the three in order.
#pragma once

#include "math/vec3.h"

void knotDrawBeforeTube();
void knotDrawAfterTube();

// The curve point scaled by the pulse.
Vec3 knotScaled(Vec3 v, float s);
// The tube's radius around the k-th curve point, with the thickness wave.
float knotRingRadius(int k);
// The point at angle theta on the ring of radius r around p, in the frame of p -> q.
Vec3 knotRingPoint(Vec3 p, Vec3 q, float r, float theta);
