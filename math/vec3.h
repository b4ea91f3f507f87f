// A plain three-float vector and the few operations the scenes' geometry needs.
#pragma once

struct Vec3 {
    float x;
    float y;
    float z;
};

Vec3 vec3Add(Vec3 a, Vec3 b);
// a - b: the first operand minus the second.
Vec3 vec3Sub(Vec3 a, Vec3 b);
Vec3 vec3Cross(Vec3 a, Vec3 b);
// Scales v to length 1 in place. A zero vector is left as it is (no caller passes one).
void vec3Normalize(Vec3* v);
