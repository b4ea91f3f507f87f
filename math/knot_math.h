// The knot curve, the frame that places a point of the tube's cross-section in 3D, and the
// camera placement. Sines and cosines run in double; every stored value is a float32.
#pragma once

#include "math/vec3.h"

// The full turn T used by both scenes. Deliberately not 2*pi (6.2831853): curves sampled over
// [0, 1) do not quite close, and the knot closes itself by reusing its first point.
constexpr float FULL_TURN = 6.283038f;

// Quads around one ring of a tube: the knot's tube and the tunnel's walls alike.
constexpr int QUADS_PER_RING = 32;

// The point at parameter t of the (a, b) knot around the y axis, written to x, y and z.
void knotPoint(float a, float b, float* x, float* y, float* z, float t);

// Replaces v, whose x and y are a 2D offset on the ring around p, by the 3D position of that
// offset in the frame of the segment p -> q: x points away from the origin, y across the
// plane through the origin, p and q. v's z on entry is ignored. Inline: the tube asks for it
// four times per quad, 23,000 times a frame. The frame is rebuilt from the one segment every
// time; nothing is carried along the curve. The outward axis is formed from the normal before
// the normal is normalised, so it lies exactly in the segment's own plane.
inline void tubeRingPoint(Vec3 p, Vec3 q, Vec3* v)
{
    Vec3 direction = vec3Sub(q, p);
    Vec3 sum = vec3Add(q, p);
    Vec3 normal = vec3Cross(direction, sum);
    Vec3 outward = vec3Cross(normal, direction);  // formed from the normal before it is normalised
    vec3Normalize(&normal);
    vec3Normalize(&outward);
    float u = v->x;
    float w = v->y;
    v->x = p.x + u * outward.x + w * normal.x;
    v->y = p.y + u * outward.y + w * normal.y;
    v->z = p.z + u * outward.z + w * normal.z;
}

// Multiplies the inverse of the eye's placement (at p, turned by az about z, then ay about y,
// then ax about x, in degrees) onto the current GL matrix. Neither loads nor pushes.
void placeCamera(float px, float py, float pz, float ax, float ay, float az);
