// The knot scene's drawing through the recorded GL: the tube's segments, quad steps and
// outlined tail, its frame and normals, the light and the state it leaves, the balls facing
// the camera and the red swirl.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "math/knot_math.h"
#include "scenes/knot/knot_scene.h"
#include "scenes/knot/knot_state.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/gl_recorder.h"

namespace {

struct Primitive {
    GLenum mode = 0;
    GLuint texture = 0;
    std::vector<Vec3> normals;
    std::vector<Vec3> vertices;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<std::array<float, 3>> colours;
};

Vec3 vec(const GlCall& c) { return Vec3{float(c.args[0]), float(c.args[1]), float(c.args[2])}; }

// The glBegin/glEnd pairs among the recorded calls [from, to), with what each vertex carried.
std::vector<Primitive> primitives(size_t from = 0, size_t to = SIZE_MAX)
{
    std::vector<Primitive> out;
    GLuint texture = 0;
    Vec3 normal{0, 0, 1};
    std::array<float, 3> colour{1, 1, 1};
    for (size_t i = from; i < glrec.calls.size() && i < to; ++i) {
        const GlCall& c = glrec.calls[i];
        if (c.name == "glBindTexture") {
            texture = GLuint(c.args[1]);
        } else if (c.name == "glBegin") {
            out.push_back(Primitive{});
            out.back().mode = GLenum(c.args[0]);
            out.back().texture = texture;
        } else if (c.name == "glNormal3f") {
            normal = vec(c);
        } else if (c.name == "glColor3f") {
            colour = {float(c.args[0]), float(c.args[1]), float(c.args[2])};
        } else if (c.name == "glTexCoord2f") {
            out.back().texCoords.push_back({float(c.args[0]), float(c.args[1])});
        } else if (c.name == "glVertex3f") {
            out.back().vertices.push_back(vec(c));
            out.back().normals.push_back(normal);
            out.back().colours.push_back(colour);
        }
    }
    return out;
}

size_t callIndex(const std::string& name, GLenum arg)
{
    for (size_t i = 0; i < glrec.calls.size(); ++i) {
        if (glrec.calls[i].name == name && !glrec.calls[i].args.empty() && GLenum(glrec.calls[i].args[0]) == arg) {
            return i;
        }
    }
    ADD_FAILURE() << name << " " << arg << " not called";
    return 0;
}

std::vector<Primitive> tubePrimitives()
{
    return primitives(callIndex("glEnable", GL_TEXTURE_GEN_T), callIndex("glDisable", GL_TEXTURE_GEN_S));
}

// Balls and swirl: everything after the tube's lighting is switched off.
std::vector<Primitive> spritePrimitives() { return primitives(callIndex("glDisable", GL_LIGHTING)); }

Vec3 curve(int i)
{
    Vec3 c{};
    knotPoint(6, 7, &c.x, &c.y, &c.z, static_cast<float>(i % 180) / 180.0f);
    return Vec3{knotScene.pulseScale * c.x, knotScene.pulseScale * c.y, knotScene.pulseScale * c.z};
}

// Corner of quad j of segment k: ring 0 around C(k) framed by C(k) -> C(k+1), ring 1 around
// C(k+1) framed by C(k+1) -> C(k+2); angle index a is j or j + 1.
Vec3 corner(int k, int ring, int a)
{
    const double wave = static_cast<double>(k + ring) * 0.5235865f + knotScene.wavePhase;
    float r = static_cast<float>(0.1f * std::cos(wave) + 0.25f);
    float theta = static_cast<float>(a) / 32.0f * FULL_TURN;
    Vec3 v{static_cast<float>(r * std::cos(static_cast<double>(theta))),
           static_cast<float>(r * std::sin(static_cast<double>(theta))), 0};
    tubeRingPoint(curve(k + ring), curve(k + ring + 1), &v);
    return v;
}

bool same(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
float length(Vec3 v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A run of segments drawn alike.
struct SegmentRun {
    int first;
    int last;
    GLenum mode;
    int step;
};

class KnotDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeClockAdvanceOnRead(0);
        fakeClockSet(1000);
        knotScene = KNOT_START_STATE;
        std::srand(7);
        glRecorderReset();
        knotSceneInit();
    }

    static void draw(int growth)
    {
        knotScene.growthCount = growth;
        glRecorderReset();
        knotSceneDraw();
    }

    // Every tube primitive, in order, against the layout: segment, quad index, solid or
    // outline, and the corners in the order V10 V00 V01 V11 (outlines: each edge).
    static void expectLayout(int growth, const std::vector<SegmentRun>& runs)
    {
        draw(growth);
        std::vector<Primitive> tube = tubePrimitives();
        size_t n = 0;
        for (const SegmentRun& run : runs) {
            for (int k = run.first; k <= run.last; ++k) {
                for (int j = 0; j < 32; j += run.step, ++n) {
                    ASSERT_LT(n, tube.size()) << "segment " << k << " quad " << j;
                    const Primitive& p = tube[n];
                    ASSERT_EQ(p.mode, run.mode) << "segment " << k << " quad " << j;
                    Vec3 v10 = corner(k, 1, j), v00 = corner(k, 0, j), v01 = corner(k, 0, j + 1);
                    Vec3 v11 = corner(k, 1, j + 1);
                    std::vector<Vec3> order = {v10, v00, v01, v11};
                    if (run.mode == GL_LINES) {
                        order = {v10, v00, v00, v01, v01, v11, v11, v10};
                    }
                    ASSERT_EQ(p.vertices.size(), order.size());
                    for (size_t i = 0; i < order.size(); ++i) {
                        ASSERT_TRUE(same(p.vertices[i], order[i])) << "segment " << k << " quad " << j << " vertex " << i;
                    }
                }
            }
        }
        EXPECT_EQ(n, tube.size());
    }
};

TEST_F(KnotDraw, FirstFrameOutlinesTwoSegmentsWithEveryFourthQuad)
{
    expectLayout(2, {{0, 1, GL_LINES, 4}});
}

TEST_F(KnotDraw, ElevenSegmentsShowOneSolidThenATailThinningInTwoStages)
{
    expectLayout(11, {{0, 0, GL_QUADS, 1}, {1, 3, GL_LINES, 1}, {4, 7, GL_LINES, 2}, {8, 10, GL_LINES, 4}});
}

TEST_F(KnotDraw, CompleteCurveStillOutlinesItsLastTenSegments)
{
    expectLayout(180, {{0, 169, GL_QUADS, 1}, {170, 172, GL_LINES, 1}, {173, 176, GL_LINES, 2}, {177, 179, GL_LINES, 4}});
}

TEST_F(KnotDraw, PastTheFullCurveTheTailShrinksTowardsTheLastSegment)
{
    expectLayout(185, {{0, 174, GL_QUADS, 1}, {175, 177, GL_LINES, 1}, {178, 179, GL_LINES, 2}});
}

TEST_F(KnotDraw, GrownTubeIsAllSolidQuadsWithoutOutlines)
{
    expectLayout(190, {{0, 179, GL_QUADS, 1}});
    EXPECT_EQ(tubePrimitives().size(), 180u * 32u);
}

// Segment 178 ends its frame on C(0); segment 179 runs C(179) -> C(0) framed to C(1), so
// the tube's last ring matches its first one in frame, and in radius to within 0.0003.
TEST_F(KnotDraw, TubeClosesOnItsFirstRingWithoutASeamInTheFrame)
{
    knotScene.wavePhase = 0.7f;
    draw(190);
    std::vector<Primitive> tube = tubePrimitives();
    ASSERT_EQ(tube.size(), 180u * 32u);
    for (int j = 0; j < 32; ++j) {
        for (int k = 0; k < 179; ++k) {
            // The far ring of each segment is exactly the near ring of the next.
            ASSERT_TRUE(same(tube[k * 32 + j].vertices[0], tube[(k + 1) * 32 + j].vertices[1])) << k << " " << j;
        }
        Vec3 last = tube[179 * 32 + j].vertices[0];
        Vec3 first = tube[j].vertices[1];
        EXPECT_LT(length(vec3Sub(last, first)), 0.0003f) << j;
        Vec3 lastNormal = tube[179 * 32 + j].normals[0];
        Vec3 firstNormal = tube[j].normals[1];
        EXPECT_NEAR(dot(lastNormal, firstNormal) / (length(lastNormal) * length(firstNormal)), 1.0f, 1e-6f) << j;
    }
}

// Normals are left at the ring's radius; GL_NORMALIZE is off, so that length shapes the look.
// The pulse scales the centre line (curve() applies it) but not the thickness.
TEST_F(KnotDraw, NormalsRunFromTheScaledCentreAndKeepTheRingRadiusAsLength)
{
    knotScene.wavePhase = 2.1f;
    knotScene.pulseScale = 1.15f;
    draw(190);
    std::vector<Primitive> tube = tubePrimitives();
    const int ringOf[4] = {1, 0, 0, 1};  // V10 V00 V01 V11
    for (int k = 0; k < 180; k += 7) {
        for (int j = 0; j < 32; j += 5) {
            const Primitive& p = tube[k * 32 + j];
            for (int i = 0; i < 4; ++i) {
                Vec3 centre = curve(k + ringOf[i]);
                Vec3 n = p.normals[i];
                ASSERT_TRUE(same(n, vec3Sub(p.vertices[i], centre))) << k << " " << j << " " << i;
                float radius = static_cast<float>(0.1 * std::cos((k + ringOf[i]) * 0.5235865 + 2.1) + 0.25);
                EXPECT_NEAR(length(n), radius, 2e-6f);
                EXPECT_GE(length(n), 0.1499f);
                EXPECT_LE(length(n), 0.3501f);
            }
        }
    }
}

TEST_F(KnotDraw, QuadsWindCounterClockwiseSeenFromOutsideTheTube)
{
    draw(190);
    for (const Primitive& p : tubePrimitives()) {
        Vec3 face = vec3Cross(vec3Sub(p.vertices[1], p.vertices[0]), vec3Sub(p.vertices[2], p.vertices[1]));
        ASSERT_GT(dot(face, p.normals[1]), 0.0f);
    }
}

const std::vector<std::string> BEFORE_TUBE = {"glClearColor", "glPushMatrix", "glRotatef",  "glRotatef",
                                              "glRotatef",    "glTranslatef", "glEnable",   "glEnable",
                                              "glLightfv",    "glLightfv",    "glLightfv",  "glEnable",
                                              "glEnable"};
const std::vector<std::string> AFTER_TUBE = {"glBindTexture", "glDisable", "glDisable", "glDisable", "glDisable"};

TEST_F(KnotDraw, LightsOnlyTheTubeWithAPointLightPlacedAfterTheCamera)
{
    knotSceneStep();
    draw(190);
    std::vector<std::string> names = glCallNames();
    ASSERT_GE(names.size(), BEFORE_TUBE.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + BEFORE_TUBE.size()), BEFORE_TUBE);
    const auto& calls = glrec.calls;
    EXPECT_EQ(calls[0].args, (std::vector<double>{0.35f, 0, 0, 1}));
    EXPECT_EQ(calls[2].args, (std::vector<double>{35, 1, 0, 0}));
    EXPECT_EQ(calls[3].args, (std::vector<double>{1.5f - 90.0f, 0, 1, 0}));
    EXPECT_EQ(calls[4].args[0], 0.0);
    const Vec3 eye = knotScene.cameraPosition;
    EXPECT_EQ(calls[5].args, (std::vector<double>{-eye.x, -eye.y, -eye.z}));
    EXPECT_EQ(calls[6].args[0], GL_LIGHTING);
    EXPECT_EQ(calls[7].args[0], GL_LIGHT0);
    EXPECT_EQ(calls[8].args, (std::vector<double>{GL_LIGHT0, GL_AMBIENT, 0.75f, 0.75f, 0.75f, 1}));
    EXPECT_EQ(calls[9].args, (std::vector<double>{GL_LIGHT0, GL_DIFFUSE, 1, 1, 1, 1}));
    EXPECT_EQ(calls[10].args, (std::vector<double>{GL_LIGHT0, GL_POSITION, 1, 1, 1, 1}));
    EXPECT_EQ(calls[11].args[0], GL_TEXTURE_GEN_S);
    EXPECT_EQ(calls[12].args[0], GL_TEXTURE_GEN_T);

    size_t end = callIndex("glDisable", GL_TEXTURE_GEN_S) - 1;
    std::vector<std::string> after(names.begin() + end, names.begin() + end + AFTER_TUBE.size());
    EXPECT_EQ(after, AFTER_TUBE);
    EXPECT_EQ(calls[end].args[1], 0.0);
    EXPECT_EQ(calls[end + 1].args[0], GL_TEXTURE_GEN_S);
    EXPECT_EQ(calls[end + 2].args[0], GL_TEXTURE_GEN_T);
    EXPECT_EQ(calls[end + 3].args[0], GL_LIGHT0);
    EXPECT_EQ(calls[end + 4].args[0], GL_LIGHTING);
    // Nothing lit or sphere-mapped is drawn after that.
    EXPECT_EQ(glFindCall("glNormal3f", end), -1);
    EXPECT_EQ(names.back(), "glPopMatrix");
}

TEST_F(KnotDraw, LeavesLightingAndTextureGenerationOffAndTheMatrixAsItFoundIt)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glTranslatef(1, 2, 3);
    std::set<GLenum> enabledBefore = glrec.enabled;
    Mat4 before = glrec.modelview.back();
    knotScene.growthCount = 190;
    knotSceneDraw();
    EXPECT_EQ(glrec.enabled, enabledBefore);
    EXPECT_EQ(glrec.modelview.size(), 1u);
    EXPECT_EQ(glrec.modelview.back(), before);
    EXPECT_EQ(glrec.boundTexture, 0u);
    EXPECT_EQ(glrec.primitive, 0u);
    EXPECT_EQ(glrec.clearColor, (std::array<float, 4>{0.35f, 0, 0, 1}));
}

TEST_F(KnotDraw, TubeUsesTheTubeTextureBallsTheBallTextureSwirlNone)
{
    knotScene.tubeTexture = 7;
    knotScene.ballTexture = 9;
    draw(150);
    for (const Primitive& p : tubePrimitives()) {
        ASSERT_EQ(p.texture, 7u);
    }
    std::vector<Primitive> sprites = spritePrimitives();
    ASSERT_EQ(sprites.size(), 13u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(sprites[i].texture, 9u);
    }
    EXPECT_EQ(sprites[12].texture, 0u);
    // The tube's texture is bound once for all its quads; then 0, the balls', and 0 again.
    EXPECT_EQ(glCallsNamed("glBindTexture").size(), 4u);
}

// Replays the recorded matrix calls through the recorder to get the modelview matrix in
// force at each glBegin.
std::vector<Mat4> modelviewAtEachBegin()
{
    std::vector<GlCall> calls = glrec.calls;
    glRecorderReset();
    std::vector<Mat4> out;
    for (const GlCall& c : calls) {
        const auto& a = c.args;
        if (c.name == "glPushMatrix") {
            glPushMatrix();
        } else if (c.name == "glPopMatrix") {
            glPopMatrix();
        } else if (c.name == "glRotatef") {
            glRotatef(float(a[0]), float(a[1]), float(a[2]), float(a[3]));
        } else if (c.name == "glTranslatef") {
            glTranslatef(float(a[0]), float(a[1]), float(a[2]));
        } else if (c.name == "glBegin") {
            out.push_back(glrec.modelview.back());
        }
    }
    return out;
}

TEST_F(KnotDraw, BallsAreCameraFacingSquaresAtTheirCentres)
{
    for (int i = 0; i < 37; ++i) {
        knotSceneStep();
    }
    ASSERT_NE(knotScene.cameraOrbitAngle, 0.0f);
    draw(190);
    std::vector<Primitive> sprites = spritePrimitives();
    std::vector<Mat4> matrices = modelviewAtEachBegin();
    ASSERT_EQ(matrices.size(), 180u * 32u + 13u);
    // The camera alone: the swirl's frame without its own translation and turn.
    glRecorderReset();
    const Vec3 eye = knotScene.cameraPosition;
    placeCamera(eye.x, eye.y, eye.z, -35.0f, 90.0f - knotScene.cameraOrbitAngle, 0.0f);
    Mat4 camera = glrec.modelview.back();
    for (int b = 0; b < 12; ++b) {
        const Mat4& m = matrices[180 * 32 + b];
        for (int col = 0; col < 3; ++col) {
            for (int row = 0; row < 3; ++row) {
                EXPECT_NEAR(m[col * 4 + row], col == row ? 1.0 : 0.0, 1e-6) << "ball " << b;
            }
        }
        auto centre = mat4Apply(camera, knotScene.balls[b].x, knotScene.balls[b].y, knotScene.balls[b].z);
        EXPECT_NEAR(m[12], centre[0], 1e-5);
        EXPECT_NEAR(m[13], centre[1], 1e-5);
        EXPECT_NEAR(m[14], centre[2], 1e-5);
        const Primitive& p = sprites[b];
        ASSERT_EQ(p.mode, GLenum(GL_QUADS));
        ASSERT_EQ(p.vertices.size(), 4u);
        const float corners[4][4] = {{0, 1, -0.15f, 0.15f}, {0, 0, -0.15f, -0.15f}, {1, 0, 0.15f, -0.15f}, {1, 1, 0.15f, 0.15f}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(p.texCoords[i][0], corners[i][0]);
            EXPECT_EQ(p.texCoords[i][1], corners[i][1]);
            EXPECT_TRUE(same(p.vertices[i], Vec3{corners[i][2], corners[i][3], 0}));
            EXPECT_EQ(p.colours[i], (std::array<float, 3>{1, 1, 1}));
        }
    }
}

TEST_F(KnotDraw, SwirlIsPureRedPointsStandingBehindTheKnot)
{
    for (int i = 0; i < 60; ++i) {
        knotSceneStep();
    }
    draw(190);
    std::vector<Primitive> sprites = spritePrimitives();
    std::vector<Mat4> matrices = modelviewAtEachBegin();
    const Primitive& swirl = sprites.back();
    ASSERT_EQ(swirl.mode, GLenum(GL_POINTS));
    ASSERT_EQ(swirl.vertices.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(same(swirl.vertices[i], Vec3{knotScene.swirlPoints[i].x, knotScene.swirlPoints[i].y, -5.0f}));
        // Red at or above 1, green and blue at or below 0: GL clamps each to pure red.
        EXPECT_GE(swirl.colours[i][0], 1.0f);
        EXPECT_LE(swirl.colours[i][1], 0.0f);
        EXPECT_LE(swirl.colours[i][2], 0.0f);
        float b = knotScene.swirlPoints[i].brightness;
        EXPECT_EQ(swirl.colours[i], (std::array<float, 3>{0.5f + b, 0.5f - b, 0.5f - b}));
    }
    // The swirl's centre sits 4 below the knot's, 5 beyond its axis as seen by the camera.
    glRecorderReset();
    const Vec3 eye = knotScene.cameraPosition;
    placeCamera(eye.x, eye.y, eye.z, -35.0f, 90.0f - knotScene.cameraOrbitAngle, 0.0f);
    Mat4 camera = glrec.modelview.back();
    auto axis = mat4Apply(camera, 0, 0, 0);
    auto centre = mat4Apply(matrices.back(), 0, 0, -5);
    auto below = mat4Apply(camera, 0, -4, 0);
    EXPECT_LT(centre[2], axis[2] - 4.0);
    EXPECT_NEAR(centre[0], below[0], 1e-5);
}

}  // namespace
