// The GLU the demo calls, computed as libGLU computes it (in double, handed to GL as a double
// matrix, which GL rounds to float), so the picture is the same without libGLU.
#include "shell/gl.h"

#include <cmath>

#include "platform/gl/gl_calls.h"

static constexpr double GLU_PI = 3.14159265358979323846;

extern "C" void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    const double radians = fovy / 2 * GLU_PI / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) {
        return;
    }
    const double cotangent = std::cos(radians) / sine;
    GLdouble m[16] = {cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0, 0, 0, -(zFar + zNear) / deltaZ, -1,
                      0, 0, -2 * zNear * zFar / deltaZ, 0};
    glMultMatrixd(m);
}
