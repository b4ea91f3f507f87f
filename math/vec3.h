// A plain three-float vector and the few operations the scenes' geometry needs.
#pragma once

#include <cmath>

struct Vec3 {
    float x;
    float y;
    float z;
};

// The operations are inline: called out of line, a Vec3 crosses the call in two vector
// registers and the compiler reassembles it through the stack, and the stalls that causes made
// the cross product the knot drawing's largest cost. The arithmetic is the same either way.
inline Vec3 vec3Add(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }

// a - b: the first operand minus the second.
inline Vec3 vec3Sub(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }

inline Vec3 vec3Cross(Vec3 a, Vec3 b)
{
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Scales v to length 1 in place. A zero vector is left as it is (no caller passes one).
inline void vec3Normalize(Vec3* v)
{
    float length = std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
    if (length == 0.0f) {
        return;
    }
    v->x /= length;
    v->y /= length;
    v->z /= length;
}
