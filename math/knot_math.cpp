// The knot curve and the camera placement; the ring frame is inline in the header.
#include "math/knot_math.h"

#include <cmath>

#include "shell/gl.h"

// phi and r are float32; the angles a*phi and b*phi are formed in double (exactly, as
// products of two floats). Rounding them to float would move the point at t = 0.5 by 1e-6,
// because 6*phi lands next to a multiple of pi there.
void knotPoint(float a, float b, float* x, float* y, float* z, float t)
{
    float phi = FULL_TURN * t;
    double aPhi = static_cast<double>(a) * phi;
    double bPhi = static_cast<double>(b) * phi;
    float r = static_cast<float>((std::sin(bPhi) + 2.0) * 0.5);
    *x = static_cast<float>(r * std::cos(aPhi));
    *y = static_cast<float>(r * std::cos(bPhi));
    *z = static_cast<float>(r * std::sin(aPhi));
}

void placeCamera(float px, float py, float pz, float ax, float ay, float az)
{
    glRotatef(-ax, 1.0f, 0.0f, 0.0f);
    glRotatef(-ay, 0.0f, 1.0f, 0.0f);
    glRotatef(-az, 0.0f, 0.0f, 1.0f);
    glTranslatef(-px, -py, -pz);
}
