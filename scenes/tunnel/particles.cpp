// The particle field. Free records are found by a first-fit scan from index 0, so a freed
// record is always the next one taken.
#include "scenes/tunnel/particles.h"

#include <cmath>
#include <cstdlib>

#include "shell/gl.h"
#include "shell/screen.h"

ParticleField particleField = PARTICLE_FIELD_START_STATE;

// Where each piece of the figure ends: 1.25, 1.75, 2.25, 3.25 and 4.25 turns of T.
static constexpr float OUTER_CIRCLE_END = 7.853798f;
static constexpr float UPPER_HALF_END = 10.9953165f;
static constexpr float LOWER_HALF_END = 14.136836f;
static constexpr float UPPER_EYE_END = 20.419872f;
static constexpr float FIGURE_END = 26.702911f;

static constexpr int SPARKS_PER_EMISSION = 2;
static constexpr float COLOUR_SCALE = 0.00390625f;  // 1/256: 255 gives 0.99609375, never 1
static constexpr float SPARK_DRAG = 0.0001f;
static constexpr float GRAVITY = 0.05f;
static constexpr float BLUE_COOLING = 0.05f;
static constexpr float GREEN_COOLING = 0.02f;
static constexpr float RED_COOLING = 0.02f;
static constexpr float LAYER_LIFT = 32.0f;
static constexpr float DOT_DEPTH = -0.1f;

void particlesInit()
{
    const Particle cleared = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0};
    for (Particle& spark : particleField.sparks) {
        spark = cleared;
    }
    for (Particle& dot : particleField.dots) {
        dot = cleared;
    }
}

void emitParticles(float x, float y, int r, int g, int b)
{
    int made = 0;
    for (int i = 0; i < SPARK_POOL_SIZE && made < SPARKS_PER_EMISSION; ++i) {
        Particle& spark = particleField.sparks[i];
        if (spark.alive != 0) {
            continue;
        }
        spark.x = x;
        spark.y = y;
        spark.vx = static_cast<float>(std::rand() % 30) / 100.0f - 0.15f;
        spark.vy = static_cast<float>(std::rand() % 100) / 100.0f;
        spark.r = 1.0f;
        spark.g = 1.0f;
        spark.b = 1.0f;
        spark.alive = 1;
        ++made;
    }
    for (Particle& dot : particleField.dots) {
        if (dot.alive != 0) {
            continue;
        }
        dot.alive = 1;
        dot.x = x;
        dot.y = y;
        dot.r = static_cast<float>(r) * COLOUR_SCALE;
        dot.g = static_cast<float>(g) * COLOUR_SCALE;
        dot.b = static_cast<float>(b) * COLOUR_SCALE;
        return;
    }
}

// The angle is advanced before the range test, so even after completion every call still
// moves it on, by the one step that finds the figure done. Sine and cosine are taken in
// double and stored as float32 before scaling.
int penStep(float radius)
{
    const float r = radius;
    const float cx = particleField.pen.centreX;
    const float cy = particleField.pen.centreY;
    for (int move = 0; move < 4; ++move) {
        particleField.pen.angle += PEN_ANGLE_STEP;
        const float a = particleField.pen.angle;
        const float c = static_cast<float>(std::cos(static_cast<double>(a)));
        const float s = static_cast<float>(std::sin(static_cast<double>(a)));
        float x;
        float y;
        if (a < OUTER_CIRCLE_END) {
            x = cx + r * c;
            y = cy + r * s;
        } else if (a < UPPER_HALF_END) {
            x = cx + (r / 2.0f) * c;
            y = cy + r / 2.0f + (r / 2.0f) * s;
        } else if (a < LOWER_HALF_END) {
            x = cx + (r / 2.0f) * c;
            y = cy - r / 2.0f - (r / 2.0f) * s;
        } else if (a < UPPER_EYE_END) {
            x = cx + (r / 8.0f) * c;
            y = cy + r / 2.0f - (r / 8.0f) * s;
        } else if (a < FIGURE_END) {
            x = cx + (r / 8.0f) * c;
            y = cy - r / 2.0f - (r / 8.0f) * s;
        } else {
            return 1;
        }
        emitParticles(x, y, 128, 128, 128);
    }
    return 0;
}

// One channel cools per step: blue first (white to yellow), then green (to red), then red
// (to black). Decrements are unclamped float32, so each channel ends a little below 0.
static void moveSpark(Particle& spark)
{
    spark.x += spark.vx;
    spark.y += spark.vy;
    if (spark.vx > 0.0f) {
        spark.vx -= SPARK_DRAG;
    } else if (spark.vx < 0.0f) {
        spark.vx += SPARK_DRAG;
    }
    spark.vy -= GRAVITY;
    if (spark.b > 0.0f) {
        spark.b -= BLUE_COOLING;
    } else if (spark.g > 0.0f) {
        spark.g -= GREEN_COOLING;
    } else if (spark.r > 0.0f) {
        spark.r -= RED_COOLING;
    }
    if (spark.y < 0.0f) {
        spark.alive = 0;
    }
}

int particlesStep()
{
    const int result = penStep(PEN_RADIUS);
    for (Particle& spark : particleField.sparks) {
        if (spark.alive == 1) {
            moveSpark(spark);
        }
    }
    return result;
}

void particlesDraw()
{
    glTranslatef(0.0f, LAYER_LIFT, 0.0f);
    glBegin(GL_POINTS);
    for (const Particle& dot : particleField.dots) {
        if (dot.alive == 1) {
            glColor3f(dot.r, dot.g, dot.b);
            glVertex3f(dot.x, dot.y, DOT_DEPTH);
        }
    }
    glEnd();
    glBegin(GL_LINES);
    for (const Particle& spark : particleField.sparks) {
        if (spark.alive == 1) {
            glColor3f(spark.r, spark.g, spark.b);
            glVertex2f(spark.x - 1.0f, spark.y);
            glVertex2f(spark.x + 1.0f, spark.y);
            glVertex2f(spark.x, spark.y - 1.0f);
            glVertex2f(spark.x, spark.y + 1.0f);
        }
    }
    glEnd();
}
