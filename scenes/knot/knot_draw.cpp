// Scene one's drawing: the lit, sphere-mapped tube along the knot, the ball sprites facing the
// camera and the red swirl behind, from the orbiting camera. Everything is recomputed every
// frame in immediate mode, since the pulse and the thickness wave reshape the tube.
#include <cmath>

#include "math/knot_math.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "shell/gl.h"

static constexpr float CAMERA_TILT = 35.0f;  // degrees down towards the knot
static constexpr int OUTLINED_TAIL = 10;
static constexpr float TUBE_RADIUS = 0.25f;
static constexpr float TUBE_WAVE = 0.1f;
static constexpr float BALL_HALF_SIZE = 0.15f;
static constexpr float SWIRL_DROP = -4.0f;

static constexpr GLfloat LIGHT_AMBIENT[4] = {0.75f, 0.75f, 0.75f, 1.0f};
static constexpr GLfloat LIGHT_DIFFUSE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
// w = 1: a point light fixed in the world next to the knot, given after the camera.
static constexpr GLfloat LIGHT_POSITION[4] = {1.0f, 1.0f, 1.0f, 1.0f};

// The curve point scaled by the pulse.
static Vec3 knotScaled(Vec3 v, float s) { return Vec3{s * v.x, s * v.y, s * v.z}; }

// Ring thickness around the k-th curve point: 0.15 to 0.35, a wave of twelve segments. The
// angle is formed in double, like the knot curve's, and only the radius is stored as float32.
static float knotRingRadius(int k)
{
    double a = static_cast<double>(k) * TWELFTH_TURN + knotScene.wavePhase;
    return static_cast<float>(TUBE_WAVE * std::cos(a) + TUBE_RADIUS);
}

// The point at angle theta on the ring of radius r around p, in the frame of p -> q.
static Vec3 knotRingPoint(Vec3 p, Vec3 q, float r, float theta)
{
    Vec3 v{static_cast<float>(r * std::cos(static_cast<double>(theta))),
           static_cast<float>(r * std::sin(static_cast<double>(theta))), 0.0f};
    tubeRingPoint(p, q, &v);
    return v;
}

static void normalAndVertex(Vec3 normal, Vec3 vertex)
{
    glNormal3f(normal.x, normal.y, normal.z);
    glVertex3f(vertex.x, vertex.y, vertex.z);
}

// One segment: quads between the ring around P0 (framed by P0 -> P1) and the ring around P1
// (framed by P1 -> P2), so neighbouring segments share their rings. The newest segments skip
// quads and the ten newest are outlines. Normals keep the ring's radius as their length: with
// GL_NORMALIZE off this darkens the lighting and bends the sphere map, as intended.
static void drawTubeSegment(int k)
{
    float s = knotScene.pulseScale;
    Vec3 p0 = knotScaled(knotScene.segments[k].start, s);
    Vec3 p1 = knotScaled(knotScene.segments[k].end, s);
    Vec3 p2 = knotScaled(knotScene.segments[k < KNOT_SEGMENT_COUNT - 1 ? k + 1 : 0].end, s);
    int quadStep = 1;
    if (k > knotScene.growthCount - 8) {
        quadStep = 2;
    }
    if (k > knotScene.growthCount - 4) {
        quadStep = 4;
    }
    float r0 = knotRingRadius(k);
    float r1 = knotRingRadius(k + 1);
    bool solid = k < knotScene.growthCount - OUTLINED_TAIL;
    for (int j = 0; j < QUADS_PER_RING; j += quadStep) {
        float theta0 = static_cast<float>(j) / QUADS_PER_RING * FULL_TURN;
        float theta1 = static_cast<float>(j + 1) / QUADS_PER_RING * FULL_TURN;
        Vec3 v00 = knotRingPoint(p0, p1, r0, theta0);
        Vec3 v10 = knotRingPoint(p1, p2, r1, theta0);
        Vec3 v11 = knotRingPoint(p1, p2, r1, theta1);
        Vec3 v01 = knotRingPoint(p0, p1, r0, theta1);
        Vec3 n00 = vec3Sub(v00, p0);
        Vec3 n10 = vec3Sub(v10, p1);
        Vec3 n11 = vec3Sub(v11, p1);
        Vec3 n01 = vec3Sub(v01, p0);
        if (solid) {
            // Counter-clockwise from outside: the outside is the front face.
            glBegin(GL_QUADS);
            normalAndVertex(n10, v10);
            normalAndVertex(n00, v00);
            normalAndVertex(n01, v01);
            normalAndVertex(n11, v11);
        } else {
            glBegin(GL_LINES);
            normalAndVertex(n10, v10);
            normalAndVertex(n00, v00);
            normalAndVertex(n00, v00);
            normalAndVertex(n01, v01);
            normalAndVertex(n01, v01);
            normalAndVertex(n11, v11);
            normalAndVertex(n11, v11);
            normalAndVertex(n10, v10);
        }
        glEnd();
    }
}

// Every quad and outline of the tube takes the one texture, bound once before the first; each
// quad is still a glBegin/glEnd pair of its own.
static void drawTube()
{
    glBindTexture(GL_TEXTURE_2D, knotScene.tubeTexture);
    const int grown = knotScene.growthCount;
    int count = grown < KNOT_SEGMENT_COUNT ? grown : KNOT_SEGMENT_COUNT;
    for (int k = 0; k < count; ++k) {
        drawTubeSegment(k);
    }
}

// Each ball undoes the camera's two rotations, so it is a square facing the camera; its
// round outline comes from the texture's alpha.
static void drawBalls()
{
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, knotScene.ballTexture);
    for (const Vec3& ball : knotScene.balls) {
        glPushMatrix();
        glTranslatef(ball.x, ball.y, ball.z);
        glRotatef(90.0f - knotScene.cameraOrbitAngle, 0.0f, 1.0f, 0.0f);
        glRotatef(-CAMERA_TILT, 1.0f, 0.0f, 0.0f);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-BALL_HALF_SIZE, BALL_HALF_SIZE, 0.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-BALL_HALF_SIZE, -BALL_HALF_SIZE, 0.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(BALL_HALF_SIZE, -BALL_HALF_SIZE, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(BALL_HALF_SIZE, BALL_HALF_SIZE, 0.0f);
        glEnd();
        glPopMatrix();
    }
}

// The swirl's plane is turned to the camera's heading, upright behind the knot. Brightness
// of 0.5 or more drives red above 1 and green and blue below 0, which GL clamps to pure red.
static void drawSwirl()
{
    glBindTexture(GL_TEXTURE_2D, 0);
    glPushMatrix();
    glTranslatef(0.0f, SWIRL_DROP, 0.0f);
    glRotatef(90.0f - knotScene.cameraOrbitAngle, 0.0f, 1.0f, 0.0f);
    glBegin(GL_POINTS);
    for (const SwirlPoint& point : knotScene.swirlPoints) {
        glColor3f(0.5f + point.brightness, 0.5f - point.brightness, 0.5f - point.brightness);
        glVertex3f(point.x, point.y, point.z);
    }
    glEnd();
    glPopMatrix();
}

// Camera, light and sphere-map generation, before the tube.
static void knotDrawBeforeTube()
{
    glClearColor(0.35f, 0.0f, 0.0f, 1.0f);
    glPushMatrix();
    const Vec3 eye = knotScene.cameraPosition;
    placeCamera(eye.x, eye.y, eye.z, -CAMERA_TILT, 90.0f - knotScene.cameraOrbitAngle, 0.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, LIGHT_AMBIENT);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, LIGHT_DIFFUSE);
    glLightfv(GL_LIGHT0, GL_POSITION, LIGHT_POSITION);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
}

// Lighting off again, then the balls and the swirl, after the tube.
static void knotDrawAfterTube()
{
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
    drawBalls();
    drawSwirl();
    glPopMatrix();
}

// Lighting and texture generation are on for the tube only; everything drawn after the knot
// scene relies on lighting being off.
void knotSceneDraw()
{
    knotDrawBeforeTube();
    drawTube();
    knotDrawAfterTube();
}
