// The GL 1.1 layer on OpenGL ES 2 (see gles2.h for what it covers). Immediate-mode vertices
// are gathered into a fixed batch with the current colour, normal and texture coordinate; the
// batch goes out as one draw when the state it was drawn with is about to change (a state call
// that leaves the state as it was changes nothing and flushes nothing), when it is full, or
// when the frame is read, cleared or flushed. The matrices, the light and the texturing state
// travel as uniforms of the program that the state picks.
#include "platform/gles2/gles2.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/gles2/es2_calls.h"
#include "platform/gles2/gles2_programs.h"

// GL turns degrees to radians in double with this pi.
static constexpr double GL_PI = 3.14159265358979323846;
static constexpr int BATCH_VERTICES = 65536;  // what 16-bit indices reach
static constexpr int BATCH_INDICES = BATCH_VERTICES / 4 * 6;
static constexpr int MODELVIEW_DEPTH = 32;
static constexpr int PROJECTION_DEPTH = 4;
static constexpr int ATTRIB_DEPTH = 16;
static constexpr int MAX_TEXTURES = 64;
static constexpr int MAX_LISTS = 1024;
static constexpr int MAX_BITMAPS = 1024;
// The bitmaps of the display lists, one byte a pixel, packed in rows of glyphs; a texture of
// the rows in use is made from it before bitmaps are drawn.
static constexpr int ATLAS_WIDTH = 4096;
static constexpr int ATLAS_HEIGHT = 4096;

// How a quad (v0, v1, v2, v3) is cut into two triangles: (v0, v1, v2) and (v0, v2, v3), the
// cut Mesa's own GL makes, so colours and texture coordinates are interpolated the same way.
static constexpr uint16_t QUAD_TRIANGLES[6] = {0, 1, 2, 0, 2, 3};

struct Vertex {
    float position[3];
    float colour[4];
    float normal[3];
    float texCoord[2];
    float other[4];  // wide lines: the other end of the line; w: the side (sign), the end (1 or 2)
};

enum DrawKind { DRAW_NONE, DRAW_POINTS, DRAW_LINES, DRAW_WIDE_LINES, DRAW_TRIANGLES, DRAW_BITMAPS };

struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// The switches of glEnable that the layer keeps (GL 1.1's start values).
struct Switches {
    bool texture2d = false;
    bool depthTest = false;
    bool cullFace = false;
    bool blend = false;
    bool scissorTest = false;
    bool lighting = false;
    bool light0 = false;
    bool texGenS = false;
    bool texGenT = false;
    bool normalize = false;
};

// GL's current values: what glColor, glNormal and glTexCoord last set, and the raster position
// in window coordinates with its colour.
struct Current {
    float colour[4] = {1, 1, 1, 1};
    float normal[3] = {0, 0, 1};
    float texCoord[2] = {0, 0};
    float rasterPosition[4] = {0, 0, 0, 1};
    float rasterColour[4] = {1, 1, 1, 1};
    bool rasterValid = true;
};

struct TextureRecord {
    GLuint esName;
    bool hasImage;
    GLint minFilter;
};

// A bitmap held for a display list: its glBitmap arguments and its place in the atlas.
struct ListBitmap {
    int width;
    int height;
    float xorig;
    float yorig;
    float xmove;
    float ymove;
    int atlasX;
    int atlasY;
};

struct DisplayList {
    int first;  // into bitmaps
    int count;
};

struct AttribRecord {
    GLbitfield mask;
    GLuint listBase;
    Switches switches;
    Current current;
};

struct Gles2State {
    Es2Calls es{};
    GLenum error = GL_NO_ERROR;
    Gles2Program programs[PROGRAM_COUNT]{};
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    GLuint atlasTexture = 0;
    // What the ES context has bound and enabled now.
    GLuint esProgram = 0;
    GLuint esTexture = 0;
    bool esCull = false;

    Current current;
    GLenum beginMode = 0;
    bool inBegin = false;
    int primitiveCount = 0;  // vertices of the primitive being given
    Vertex primitive[4]{};

    DrawKind batchKind = DRAW_NONE;
    int vertexCount = 0;
    int indexCount = 0;

    GLenum matrixMode = GL_MODELVIEW;
    Matrix modelview[MODELVIEW_DEPTH];
    Matrix projection[PROJECTION_DEPTH];
    int modelviewTop = 0;
    int projectionTop = 0;

    Switches switches;
    GLenum shadeModel = GL_SMOOTH;
    float pointSize = 1.0f;
    float lineWidth = 1.0f;
    float clearColour[4] = {0, 0, 0, 0};
    float clearDepth = 1.0f;
    GLint viewport[4] = {0, 0, 0, 0};
    GLint scissor[4] = {0, 0, 0, 0};
    GLint unpackAlignment = 4;
    GLint packAlignment = 4;
    GLenum blendSource = GL_ONE;
    GLenum blendDestination = GL_ZERO;
    GLenum depthFunc = GL_LESS;
    GLenum cullFace = GL_BACK;
    GLint texGenMode[2] = {GL_EYE_LINEAR, GL_EYE_LINEAR};

    // Light 0 (its position in eye coordinates, as glLightfv left it).
    float lightAmbient[4] = {0, 0, 0, 1};
    float lightDiffuse[4] = {1, 1, 1, 1};
    float lightSpecular[4] = {1, 1, 1, 1};
    float lightPosition[4] = {0, 0, 1, 0};

    TextureRecord textures[MAX_TEXTURES]{};  // texture name n is textures[n - 1]
    int textureCount = 0;
    GLuint boundTexture = 0;

    DisplayList lists[MAX_LISTS]{};
    GLuint listCount = 0;
    ListBitmap bitmaps[MAX_BITMAPS]{};
    int bitmapCount = 0;
    GLuint compilingList = 0;
    GLenum compileMode = GL_COMPILE;
    GLuint listBase = 0;

    int atlasX = 0;
    int atlasY = 0;
    int atlasRowHeight = 0;
    int atlasUsedHeight = 0;
    int atlasTextureHeight = 0;
    bool atlasDirty = false;

    AttribRecord attribStack[ATTRIB_DEPTH]{};
    int attribDepth = 0;

    Gles2Counters counters{};
};

static Gles2State gles2;
static Vertex batchVertices[BATCH_VERTICES];
static uint16_t batchIndices[BATCH_INDICES];
static uint8_t atlasPixels[ATLAS_WIDTH * ATLAS_HEIGHT];

// GL 1.1's default material and light model (the demo sets neither).
static constexpr float MATERIAL_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};
static constexpr float MATERIAL_DIFFUSE[4] = {0.8f, 0.8f, 0.8f, 1.0f};
static constexpr float MODEL_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};
static constexpr float LIGHT_ATTENUATION[3] = {1.0f, 0.0f, 0.0f};

static void setError(GLenum error)
{
    if (gles2.error == GL_NO_ERROR) {
        gles2.error = error;
    }
}

// ---------------------------------------------------------------------------------------------
// Matrices, in float as GL computes them (column-major, points as columns).

// product = a * b (product may be a).
static void multiplyMatrix(float* product, const float* a, const float* b)
{
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a[i], ai1 = a[4 + i], ai2 = a[8 + i], ai3 = a[12 + i];
        product[i] = ai0 * b[0] + ai1 * b[1] + ai2 * b[2] + ai3 * b[3];
        product[4 + i] = ai0 * b[4] + ai1 * b[5] + ai2 * b[6] + ai3 * b[7];
        product[8 + i] = ai0 * b[8] + ai1 * b[9] + ai2 * b[10] + ai3 * b[11];
        product[12 + i] = ai0 * b[12] + ai1 * b[13] + ai2 * b[14] + ai3 * b[15];
    }
}

static void transformPoint(float* out, const float* m, const float* in)
{
    for (int i = 0; i < 4; ++i) {
        out[i] = m[i] * in[0] + m[4 + i] * in[1] + m[8 + i] * in[2] + m[12 + i] * in[3];
    }
}

static Matrix& currentMatrix()
{
    return gles2.matrixMode == GL_PROJECTION ? gles2.projection[gles2.projectionTop]
                                             : gles2.modelview[gles2.modelviewTop];
}

static const Matrix& modelviewMatrix() { return gles2.modelview[gles2.modelviewTop]; }
static const Matrix& projectionMatrix() { return gles2.projection[gles2.projectionTop]; }

// The transpose of the inverse of the modelview's upper 3x3, which takes normals to eye space
// (identity when the matrix is singular).
static void normalMatrix(float out[9])
{
    const float* in = modelviewMatrix().m;
    auto at = [in](int r, int c) { return in[c * 4 + r]; };
    const float det = at(0, 0) * (at(1, 1) * at(2, 2) - at(2, 1) * at(1, 2)) -
                      at(0, 1) * (at(1, 0) * at(2, 2) - at(2, 0) * at(1, 2)) +
                      at(0, 2) * (at(1, 0) * at(2, 1) - at(2, 0) * at(1, 1));
    if (std::fabs(det) < 1e-25f) {
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::memcpy(out, identity, sizeof identity);
        return;
    }
    const float d = 1.0f / det;
    float inv[3][3];  // inv[r][c]
    inv[0][0] = (at(1, 1) * at(2, 2) - at(2, 1) * at(1, 2)) * d;
    inv[0][1] = -(at(0, 1) * at(2, 2) - at(2, 1) * at(0, 2)) * d;
    inv[0][2] = (at(0, 1) * at(1, 2) - at(1, 1) * at(0, 2)) * d;
    inv[1][0] = -(at(1, 0) * at(2, 2) - at(2, 0) * at(1, 2)) * d;
    inv[1][1] = (at(0, 0) * at(2, 2) - at(2, 0) * at(0, 2)) * d;
    inv[1][2] = -(at(0, 0) * at(1, 2) - at(1, 0) * at(0, 2)) * d;
    inv[2][0] = (at(1, 0) * at(2, 1) - at(2, 0) * at(1, 1)) * d;
    inv[2][1] = -(at(0, 0) * at(2, 1) - at(2, 0) * at(0, 1)) * d;
    inv[2][2] = (at(0, 0) * at(1, 1) - at(1, 0) * at(0, 1)) * d;
    // Column-major transpose of the inverse: element (r, c) is inv[c][r].
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            out[c * 3 + r] = inv[c][r];
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Drawing the batch.

static bool texturingActive()
{
    if (!gles2.switches.texture2d || gles2.boundTexture == 0) {
        return false;
    }
    const TextureRecord& t = gles2.textures[gles2.boundTexture - 1];
    return t.hasImage && (t.minFilter == GL_NEAREST || t.minFilter == GL_LINEAR);
}

// GL 1.1 rounds the width of points and lines drawn without antialiasing to a whole pixel.
static float wholePixels(float size)
{
    const float rounded = std::floor(size + 0.5f);
    return rounded < 1.0f ? 1.0f : rounded;
}

static int programFor(DrawKind kind)
{
    if (kind == DRAW_BITMAPS) {
        return PROGRAM_BITMAP;
    }
    int bits = 0;
    if (gles2.switches.lighting) {
        bits |= PROGRAM_LIT;
    }
    if (texturingActive()) {
        bits |= PROGRAM_TEXTURED;
        const bool genS = gles2.switches.texGenS && gles2.texGenMode[0] == GL_SPHERE_MAP;
        const bool genT = gles2.switches.texGenT && gles2.texGenMode[1] == GL_SPHERE_MAP;
        if (genS || genT) {
            bits |= PROGRAM_TEXGEN;
        }
    }
    if (kind == DRAW_WIDE_LINES) {
        bits |= PROGRAM_WIDE_LINE;
    }
    return bits;
}

static void bindEsTexture(GLuint name)
{
    if (gles2.esTexture != name) {
        gles2.es.glBindTexture(GL_TEXTURE_2D, name);
        gles2.esTexture = name;
    }
}

// The atlas texture: the rows in use, as GL_ALPHA, made again after bitmaps were added.
static void uploadAtlas()
{
    const Es2Calls& es = gles2.es;
    int height = 1;
    while (height < gles2.atlasUsedHeight) {
        height *= 2;
    }
    bindEsTexture(gles2.atlasTexture);
    es.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    es.glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, ATLAS_WIDTH, height, 0, GL_ALPHA, GL_UNSIGNED_BYTE, atlasPixels);
    es.glPixelStorei(GL_UNPACK_ALIGNMENT, gles2.unpackAlignment);
    gles2.atlasTextureHeight = height;
    gles2.atlasDirty = false;
}

static void setTransformUniforms(const Gles2Program& p, DrawKind kind)
{
    const Es2Calls& es = gles2.es;
    float mvp[16];
    multiplyMatrix(mvp, projectionMatrix().m, modelviewMatrix().m);
    es.glUniformMatrix4fv(p.mvp, 1, GL_FALSE, mvp);
    if (p.modelview >= 0) {
        float normals[9];
        normalMatrix(normals);
        es.glUniformMatrix4fv(p.modelview, 1, GL_FALSE, modelviewMatrix().m);
        es.glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, normals);
        es.glUniform1f(p.normalize, gles2.switches.normalize ? 1.0f : 0.0f);
    }
    es.glUniform1f(p.pointSize, kind == DRAW_POINTS ? wholePixels(gles2.pointSize) : 0.0f);
    const GLint* v = gles2.viewport;
    es.glUniform4f(p.viewport, static_cast<float>(v[0]), static_cast<float>(v[1]), 0.5f * static_cast<float>(v[2]),
                   0.5f * static_cast<float>(v[3]));
    es.glUniform1f(p.lineHalfWidth, 0.5f * wholePixels(gles2.lineWidth));
}

// Light 0's products with the default material, as GL forms them before the per-vertex sum.
static void setLightUniforms(const Gles2Program& p)
{
    const Es2Calls& es = gles2.es;
    float scene[4], ambient[3], diffuse[3];
    for (int i = 0; i < 3; ++i) {
        scene[i] = MATERIAL_AMBIENT[i] * MODEL_AMBIENT[i];
        ambient[i] = gles2.lightAmbient[i] * MATERIAL_AMBIENT[i];
        diffuse[i] = gles2.lightDiffuse[i] * MATERIAL_DIFFUSE[i];
    }
    scene[3] = MATERIAL_DIFFUSE[3];
    es.glUniform4fv(p.sceneColour, 1, scene);
    es.glUniform3fv(p.lightAmbient, 1, ambient);
    es.glUniform3fv(p.lightDiffuse, 1, diffuse);
    es.glUniform4fv(p.lightPosition, 1, gles2.lightPosition);
    es.glUniform3fv(p.attenuation, 1, LIGHT_ATTENUATION);
    es.glUniform1f(p.lightOn, gles2.switches.light0 ? 1.0f : 0.0f);
}

static void flushBatch()
{
    if (gles2.vertexCount == 0) {
        return;
    }
    const Es2Calls& es = gles2.es;
    const DrawKind kind = gles2.batchKind;
    const int bits = programFor(kind);
    const Gles2Program& p = gles2.programs[bits];
    if (gles2.esProgram != p.program) {
        es.glUseProgram(p.program);
        gles2.esProgram = p.program;
    }
    if (kind == DRAW_BITMAPS) {
        if (gles2.atlasDirty) {
            uploadAtlas();
        }
        bindEsTexture(gles2.atlasTexture);
        es.glUniform2f(p.atlasSize, static_cast<float>(ATLAS_WIDTH), static_cast<float>(gles2.atlasTextureHeight));
    } else {
        setTransformUniforms(p, kind);
        if (bits & PROGRAM_LIT) {
            setLightUniforms(p);
        }
        if (bits & PROGRAM_TEXTURED) {
            bindEsTexture(gles2.textures[gles2.boundTexture - 1].esName);
        }
        if (bits & PROGRAM_TEXGEN) {
            es.glUniform2f(p.texGen, gles2.switches.texGenS && gles2.texGenMode[0] == GL_SPHERE_MAP ? 1.0f : 0.0f,
                           gles2.switches.texGenT && gles2.texGenMode[1] == GL_SPHERE_MAP ? 1.0f : 0.0f);
        }
    }
    // Only polygons are culled; wide lines and bitmaps are quads here but not in GL.
    const bool cull = kind == DRAW_TRIANGLES && gles2.switches.cullFace;
    if (cull != gles2.esCull) {
        cull ? es.glEnable(GL_CULL_FACE) : es.glDisable(GL_CULL_FACE);
        gles2.esCull = cull;
    }
    es.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(gles2.vertexCount * sizeof(Vertex)), batchVertices,
                    GL_STREAM_DRAW);
    es.glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(gles2.indexCount * sizeof(uint16_t)),
                    batchIndices, GL_STREAM_DRAW);
    const GLenum mode = kind == DRAW_POINTS ? GL_POINTS : kind == DRAW_LINES ? GL_LINES : GL_TRIANGLES;
    es.glDrawElements(mode, gles2.indexCount, GL_UNSIGNED_SHORT, nullptr);
    gles2.counters.draws += 1;
    gles2.counters.vertices += gles2.vertexCount;
    gles2.vertexCount = 0;
    gles2.indexCount = 0;
}

// Room in the batch for a primitive of `kind`; a batch of another kind, or a full one, goes
// out first. Returns the index of the first vertex to write.
static int reserve(DrawKind kind, int vertices, int indices)
{
    if (gles2.batchKind != kind) {
        flushBatch();
        gles2.batchKind = kind;
    }
    if (gles2.vertexCount + vertices > BATCH_VERTICES || gles2.indexCount + indices > BATCH_INDICES) {
        flushBatch();
    }
    return gles2.vertexCount;
}

static void addIndices(int base, const uint16_t* pattern, int n)
{
    for (int i = 0; i < n; ++i) {
        batchIndices[gles2.indexCount++] = static_cast<uint16_t>(base + pattern[i]);
    }
}

// A whole primitive has been given: into the batch with it.
static void emitPrimitive()
{
    static constexpr uint16_t SEQUENCE[3] = {0, 1, 2};
    static constexpr uint16_t LINE_QUAD[6] = {0, 1, 2, 0, 2, 3};
    Vertex* v = gles2.primitive;
    const int n = gles2.primitiveCount;
    if (gles2.shadeModel == GL_FLAT) {
        // GL 1.1 colours a flat primitive with its last vertex (the only vertex of a point).
        for (int i = 0; i < n - 1; ++i) {
            std::memcpy(v[i].colour, v[n - 1].colour, sizeof v[i].colour);
            std::memcpy(v[i].normal, v[n - 1].normal, sizeof v[i].normal);
        }
    }
    if (gles2.beginMode == GL_LINES && wholePixels(gles2.lineWidth) > 1.0f) {
        const int base = reserve(DRAW_WIDE_LINES, 4, 6);
        Vertex* out = batchVertices + base;
        const float sides[4] = {-1.0f, 1.0f, 2.0f, -2.0f};
        for (int i = 0; i < 4; ++i) {
            const Vertex& end = v[i < 2 ? 0 : 1];
            const Vertex& other = v[i < 2 ? 1 : 0];
            out[i] = end;
            std::memcpy(out[i].other, other.position, sizeof other.position);
            out[i].other[3] = sides[i];
        }
        gles2.vertexCount += 4;
        addIndices(base, LINE_QUAD, 6);
        return;
    }
    const DrawKind kind = gles2.beginMode == GL_POINTS  ? DRAW_POINTS
                          : gles2.beginMode == GL_LINES ? DRAW_LINES
                                                        : DRAW_TRIANGLES;
    const bool quad = gles2.beginMode == GL_QUADS;
    const int indices = quad ? 6 : n;
    const int base = reserve(kind, n, indices);
    std::memcpy(batchVertices + base, v, sizeof(Vertex) * n);
    gles2.vertexCount += n;
    addIndices(base, quad ? QUAD_TRIANGLES : SEQUENCE, indices);
}

static int verticesPerPrimitive(GLenum mode)
{
    switch (mode) {
    case GL_POINTS:
        return 1;
    case GL_LINES:
        return 2;
    case GL_TRIANGLES:
        return 3;
    case GL_QUADS:
        return 4;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Bitmaps and display lists.

// Packs a bitmap (rows bottom first, bits most significant first, rows padded to the unpack
// alignment) into the atlas; false when the atlas is full.
static bool packBitmap(ListBitmap* record, const GLubyte* bits)
{
    const int w = record->width;
    const int h = record->height;
    if (gles2.atlasX + w > ATLAS_WIDTH) {
        gles2.atlasX = 0;
        gles2.atlasY += gles2.atlasRowHeight + 1;
        gles2.atlasRowHeight = 0;
    }
    if (w > ATLAS_WIDTH || gles2.atlasY + h > ATLAS_HEIGHT) {
        return false;
    }
    record->atlasX = gles2.atlasX;
    record->atlasY = gles2.atlasY;
    const int align = gles2.unpackAlignment;
    const int rowBytes = ((w + 7) / 8 + align - 1) / align * align;
    for (int r = 0; r < h; ++r) {
        uint8_t* row = atlasPixels + static_cast<size_t>(record->atlasY + r) * ATLAS_WIDTH + record->atlasX;
        for (int c = 0; c < w; ++c) {
            row[c] = (bits[r * rowBytes + c / 8] >> (7 - c % 8)) & 1 ? 255 : 0;
        }
    }
    gles2.atlasX += w + 1;
    if (h > gles2.atlasRowHeight) {
        gles2.atlasRowHeight = h;
    }
    if (gles2.atlasY + h > gles2.atlasUsedHeight) {
        gles2.atlasUsedHeight = gles2.atlasY + h;
    }
    gles2.atlasDirty = true;
    return true;
}

// Draws a bitmap at the raster position, pixel for pixel: its lower-left corner at
// floor(raster - origin), at the raster position's depth, in the raster colour; then moves
// the raster position on. Nothing happens while the raster position is invalid.
static void drawBitmap(const ListBitmap& b)
{
    Current& c = gles2.current;
    if (!c.rasterValid) {
        return;
    }
    if (b.width > 0 && b.height > 0) {
        const float x0 = std::floor(c.rasterPosition[0] - b.xorig);
        const float y0 = std::floor(c.rasterPosition[1] - b.yorig);
        const float vx = static_cast<float>(gles2.viewport[0]);
        const float vy = static_cast<float>(gles2.viewport[1]);
        const float halfWidth = 0.5f * static_cast<float>(gles2.viewport[2]);
        const float halfHeight = 0.5f * static_cast<float>(gles2.viewport[3]);
        const float z = 2.0f * c.rasterPosition[2] - 1.0f;
        const int base = reserve(DRAW_BITMAPS, 4, 6);
        for (int i = 0; i < 4; ++i) {
            const int dx = (i == 1 || i == 2) ? b.width : 0;
            const int dy = (i >= 2) ? b.height : 0;
            Vertex& v = batchVertices[base + i];
            v = Vertex{};
            v.position[0] = (x0 + static_cast<float>(dx) - vx) / halfWidth - 1.0f;
            v.position[1] = (y0 + static_cast<float>(dy) - vy) / halfHeight - 1.0f;
            v.position[2] = z;
            std::memcpy(v.colour, c.rasterColour, sizeof v.colour);
            v.texCoord[0] = static_cast<float>(b.atlasX + dx);
            v.texCoord[1] = static_cast<float>(b.atlasY + dy);
        }
        gles2.vertexCount += 4;
        static constexpr uint16_t QUAD[6] = {0, 1, 2, 0, 2, 3};
        addIndices(base, QUAD, 6);
    }
    c.rasterPosition[0] += b.xmove;
    c.rasterPosition[1] += b.ymove;
}

static void callList(GLuint list)
{
    if (list == 0 || list > gles2.listCount) {
        return;
    }
    const DisplayList& l = gles2.lists[list];
    for (int i = 0; i < l.count; ++i) {
        drawBitmap(gles2.bitmaps[l.first + i]);
    }
}

// ---------------------------------------------------------------------------------------------
// Switches.

static bool* switchFor(GLenum cap)
{
    Switches& s = gles2.switches;
    switch (cap) {
    case GL_TEXTURE_2D:
        return &s.texture2d;
    case GL_DEPTH_TEST:
        return &s.depthTest;
    case GL_CULL_FACE:
        return &s.cullFace;
    case GL_BLEND:
        return &s.blend;
    case GL_SCISSOR_TEST:
        return &s.scissorTest;
    case GL_LIGHTING:
        return &s.lighting;
    case GL_LIGHT0:
        return &s.light0;
    case GL_TEXTURE_GEN_S:
        return &s.texGenS;
    case GL_TEXTURE_GEN_T:
        return &s.texGenT;
    case GL_NORMALIZE:
        return &s.normalize;
    default:
        return nullptr;
    }
}

// The switches ES keeps itself (culling is set per draw).
static void applyEsSwitches()
{
    const Es2Calls& es = gles2.es;
    const Switches& s = gles2.switches;
    s.depthTest ? es.glEnable(GL_DEPTH_TEST) : es.glDisable(GL_DEPTH_TEST);
    s.blend ? es.glEnable(GL_BLEND) : es.glDisable(GL_BLEND);
    s.scissorTest ? es.glEnable(GL_SCISSOR_TEST) : es.glDisable(GL_SCISSOR_TEST);
}

static void setSwitch(GLenum cap, bool on)
{
    bool* flag = switchFor(cap);
    if (flag == nullptr) {
        setError(GL_INVALID_ENUM);
        return;
    }
    if (*flag == on) {
        return;
    }
    flushBatch();
    *flag = on;
    applyEsSwitches();
}

static float clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

// ---------------------------------------------------------------------------------------------
// The entry points.

namespace gles2Entry {

void glBegin(GLenum mode)
{
    if (gles2.inBegin) {
        setError(GL_INVALID_OPERATION);
        return;
    }
    if (verticesPerPrimitive(mode) == 0) {
        setError(GL_INVALID_ENUM);
        return;
    }
    gles2.inBegin = true;
    gles2.beginMode = mode;
    gles2.primitiveCount = 0;
}

// An unfinished primitive is dropped, as GL drops it.
void glEnd()
{
    if (!gles2.inBegin) {
        setError(GL_INVALID_OPERATION);
        return;
    }
    gles2.inBegin = false;
    gles2.primitiveCount = 0;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!gles2.inBegin) {
        return;
    }
    const Current& c = gles2.current;
    Vertex& v = gles2.primitive[gles2.primitiveCount++];
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    std::memcpy(v.colour, c.colour, sizeof v.colour);
    std::memcpy(v.normal, c.normal, sizeof v.normal);
    std::memcpy(v.texCoord, c.texCoord, sizeof v.texCoord);
    if (gles2.primitiveCount == verticesPerPrimitive(gles2.beginMode)) {
        emitPrimitive();
        gles2.primitiveCount = 0;
    }
}

void glVertex2f(GLfloat x, GLfloat y) { glVertex3f(x, y, 0.0f); }
void glVertex2d(GLdouble x, GLdouble y) { glVertex3f(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f); }

void glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha)
{
    float* c = gles2.current.colour;
    c[0] = red;
    c[1] = green;
    c[2] = blue;
    c[3] = alpha;
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) { glColor4f(red, green, blue, 1.0f); }

void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz)
{
    float* n = gles2.current.normal;
    n[0] = nx;
    n[1] = ny;
    n[2] = nz;
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    gles2.current.texCoord[0] = s;
    gles2.current.texCoord[1] = t;
}

void glMatrixMode(GLenum mode)
{
    if (mode != GL_MODELVIEW && mode != GL_PROJECTION) {
        setError(GL_INVALID_ENUM);
        return;
    }
    gles2.matrixMode = mode;
}

void glLoadIdentity()
{
    flushBatch();
    currentMatrix() = Matrix{};
}

void glPushMatrix()
{
    const bool projection = gles2.matrixMode == GL_PROJECTION;
    int& top = projection ? gles2.projectionTop : gles2.modelviewTop;
    if (top + 1 >= (projection ? PROJECTION_DEPTH : MODELVIEW_DEPTH)) {
        setError(GL_STACK_OVERFLOW);
        return;
    }
    Matrix* stack = projection ? gles2.projection : gles2.modelview;
    stack[top + 1] = stack[top];
    ++top;
}

void glPopMatrix()
{
    int& top = gles2.matrixMode == GL_PROJECTION ? gles2.projectionTop : gles2.modelviewTop;
    if (top == 0) {
        setError(GL_STACK_UNDERFLOW);
        return;
    }
    flushBatch();
    --top;
}

// A rotation about an axis: the matrix GL builds, with the sine and cosine of the angle in
// float and the axes x, y and z taken apart.
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    const float s = std::sin(static_cast<float>(angle * GL_PI / 180.0));
    const float c = std::cos(static_cast<float>(angle * GL_PI / 180.0));
    Matrix r;
    float* m = r.m;
    auto at = [m](int row, int col) -> float& { return m[col * 4 + row]; };
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        at(0, 0) = c;
        at(1, 1) = c;
        at(0, 1) = z < 0.0f ? s : -s;
        at(1, 0) = z < 0.0f ? -s : s;
    } else if (x == 0.0f && z == 0.0f && y != 0.0f) {
        at(0, 0) = c;
        at(2, 2) = c;
        at(0, 2) = y < 0.0f ? -s : s;
        at(2, 0) = y < 0.0f ? s : -s;
    } else if (y == 0.0f && z == 0.0f && x != 0.0f) {
        at(1, 1) = c;
        at(2, 2) = c;
        at(1, 2) = x < 0.0f ? s : -s;
        at(2, 1) = x < 0.0f ? -s : s;
    } else {
        const float mag = std::sqrt(x * x + y * y + z * z);
        if (mag <= 1.0e-4f) {
            return;
        }
        x /= mag;
        y /= mag;
        z /= mag;
        const float oneC = 1.0f - c;
        at(0, 0) = (oneC * (x * x)) + c;
        at(0, 1) = (oneC * (x * y)) - z * s;
        at(0, 2) = (oneC * (z * x)) + y * s;
        at(1, 0) = (oneC * (x * y)) + z * s;
        at(1, 1) = (oneC * (y * y)) + c;
        at(1, 2) = (oneC * (y * z)) - x * s;
        at(2, 0) = (oneC * (z * x)) - y * s;
        at(2, 1) = (oneC * (y * z)) + x * s;
        at(2, 2) = (oneC * (z * z)) + c;
    }
    flushBatch();
    float* top = currentMatrix().m;
    multiplyMatrix(top, top, m);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    flushBatch();
    float* m = currentMatrix().m;
    m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
    m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
    m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
    m[15] = m[3] * x + m[7] * y + m[11] * z + m[15];
}

// The box's bounds are rounded to float first, as GL does.
void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar)
{
    const float l = static_cast<float>(left), r = static_cast<float>(right);
    const float b = static_cast<float>(bottom), t = static_cast<float>(top);
    const float n = static_cast<float>(zNear), f = static_cast<float>(zFar);
    if (l == r || b == t || n == f) {
        setError(GL_INVALID_VALUE);
        return;
    }
    Matrix o;
    o.m[0] = 2.0f / (r - l);
    o.m[5] = 2.0f / (t - b);
    o.m[10] = -2.0f / (f - n);
    o.m[12] = -(r + l) / (r - l);
    o.m[13] = -(t + b) / (t - b);
    o.m[14] = -(f + n) / (f - n);
    flushBatch();
    float* m = currentMatrix().m;
    multiplyMatrix(m, m, o.m);
}

void glMultMatrixd(const GLdouble* d)
{
    Matrix f;
    for (int i = 0; i < 16; ++i) {
        f.m[i] = static_cast<float>(d[i]);
    }
    flushBatch();
    float* m = currentMatrix().m;
    multiplyMatrix(m, m, f.m);
}

void glEnable(GLenum cap) { setSwitch(cap, true); }
void glDisable(GLenum cap) { setSwitch(cap, false); }

GLboolean glIsEnabled(GLenum cap)
{
    const bool* flag = switchFor(cap);
    if (flag == nullptr) {
        setError(GL_INVALID_ENUM);
        return GL_FALSE;
    }
    return *flag ? GL_TRUE : GL_FALSE;
}

void glShadeModel(GLenum mode)
{
    if (mode != GL_SMOOTH && mode != GL_FLAT) {
        setError(GL_INVALID_ENUM);
        return;
    }
    gles2.shadeModel = mode;
}

void glPointSize(GLfloat size)
{
    if (size <= 0.0f) {
        setError(GL_INVALID_VALUE);
        return;
    }
    if (size != gles2.pointSize) {
        flushBatch();
        gles2.pointSize = size;
    }
}

void glLineWidth(GLfloat width)
{
    if (width <= 0.0f) {
        setError(GL_INVALID_VALUE);
        return;
    }
    if (width != gles2.lineWidth) {
        flushBatch();
        gles2.lineWidth = width;
    }
}

void glHint(GLenum, GLenum) {}

// Light 0 only; its position is taken to eye space by the modelview matrix of the moment.
void glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    if (light != GL_LIGHT0) {
        setError(GL_INVALID_ENUM);
        return;
    }
    flushBatch();
    switch (pname) {
    case GL_AMBIENT:
        std::memcpy(gles2.lightAmbient, params, sizeof gles2.lightAmbient);
        break;
    case GL_DIFFUSE:
        std::memcpy(gles2.lightDiffuse, params, sizeof gles2.lightDiffuse);
        break;
    case GL_SPECULAR:
        std::memcpy(gles2.lightSpecular, params, sizeof gles2.lightSpecular);
        break;
    case GL_POSITION:
        transformPoint(gles2.lightPosition, modelviewMatrix().m, params);
        break;
    default:
        setError(GL_INVALID_ENUM);
    }
}

void glTexGeni(GLenum coord, GLenum pname, GLint param)
{
    if ((coord != GL_S && coord != GL_T) || pname != GL_TEXTURE_GEN_MODE || param != GL_SPHERE_MAP) {
        setError(GL_INVALID_ENUM);
        return;
    }
    flushBatch();
    gles2.texGenMode[coord == GL_S ? 0 : 1] = param;
}

void glBlendFunc(GLenum sfactor, GLenum dfactor)
{
    if (sfactor == gles2.blendSource && dfactor == gles2.blendDestination) {
        return;
    }
    flushBatch();
    gles2.blendSource = sfactor;
    gles2.blendDestination = dfactor;
    gles2.es.glBlendFunc(sfactor, dfactor);
}

void glDepthFunc(GLenum func)
{
    if (func != gles2.depthFunc) {
        flushBatch();
        gles2.depthFunc = func;
        gles2.es.glDepthFunc(func);
    }
}

void glCullFace(GLenum mode)
{
    if (mode != gles2.cullFace) {
        flushBatch();
        gles2.cullFace = mode;
        gles2.es.glCullFace(mode);
    }
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flushBatch();
    const GLint v[4] = {x, y, width, height};
    std::memcpy(gles2.viewport, v, sizeof v);
    gles2.es.glViewport(x, y, width, height);
}

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    flushBatch();
    const GLint s[4] = {x, y, width, height};
    std::memcpy(gles2.scissor, s, sizeof s);
    gles2.es.glScissor(x, y, width, height);
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha)
{
    float* c = gles2.clearColour;
    c[0] = clamp01(red);
    c[1] = clamp01(green);
    c[2] = clamp01(blue);
    c[3] = clamp01(alpha);
    gles2.es.glClearColor(c[0], c[1], c[2], c[3]);
}

void glClearDepth(GLclampd depth)
{
    gles2.clearDepth = clamp01(static_cast<float>(depth));
    gles2.es.glClearDepthf(gles2.clearDepth);
}

void glClear(GLbitfield mask)
{
    flushBatch();
    gles2.es.glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void glFlush()
{
    flushBatch();
    gles2.es.glFlush();
}

void glFinish()
{
    flushBatch();
    gles2.es.glFinish();
}

void glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, GLvoid* pixels)
{
    flushBatch();
    gles2.es.glReadPixels(x, y, width, height, format, type, pixels);
}

void glPixelStorei(GLenum pname, GLint param)
{
    if ((pname != GL_UNPACK_ALIGNMENT && pname != GL_PACK_ALIGNMENT) ||
        (param != 1 && param != 2 && param != 4 && param != 8)) {
        setError(pname == GL_UNPACK_ALIGNMENT || pname == GL_PACK_ALIGNMENT ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    (pname == GL_UNPACK_ALIGNMENT ? gles2.unpackAlignment : gles2.packAlignment) = param;
    gles2.es.glPixelStorei(pname, param);
}

void glGenTextures(GLsizei n, GLuint* textures)
{
    for (GLsizei i = 0; i < n; ++i) {
        if (gles2.textureCount == MAX_TEXTURES) {
            setError(GL_OUT_OF_MEMORY);
            textures[i] = 0;
            continue;
        }
        TextureRecord& t = gles2.textures[gles2.textureCount];
        t = TextureRecord{0, false, GL_NEAREST_MIPMAP_LINEAR};
        gles2.es.glGenTextures(1, &t.esName);
        textures[i] = static_cast<GLuint>(++gles2.textureCount);
    }
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (target != GL_TEXTURE_2D || texture > static_cast<GLuint>(gles2.textureCount)) {
        setError(target != GL_TEXTURE_2D ? GL_INVALID_ENUM : GL_INVALID_OPERATION);
        return;
    }
    if (texture != gles2.boundTexture) {
        flushBatch();
        gles2.boundTexture = texture;
    }
}

static TextureRecord* boundRecord()
{
    return gles2.boundTexture != 0 ? &gles2.textures[gles2.boundTexture - 1] : nullptr;
}

static bool powerOfTwo(GLsizei n) { return n > 0 && (n & (n - 1)) == 0; }

// Level 0 of GL_RGB or GL_RGBA bytes, in the format it is given in (ES keeps no other); sides
// must be powers of two, as in GL 1.1.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels)
{
    TextureRecord* t = boundRecord();
    const GLenum internal = internalFormat == 3 ? GL_RGB : internalFormat == 4 ? GL_RGBA : internalFormat;
    if (target != GL_TEXTURE_2D || (format != GL_RGB && format != GL_RGBA) || type != GL_UNSIGNED_BYTE) {
        setError(GL_INVALID_ENUM);
        return;
    }
    if (level != 0 || border != 0 || !powerOfTwo(width) || !powerOfTwo(height) || internal != format) {
        setError(GL_INVALID_VALUE);
        return;
    }
    if (t == nullptr) {
        setError(GL_INVALID_OPERATION);
        return;
    }
    flushBatch();
    bindEsTexture(t->esName);
    gles2.es.glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, type, pixels);
    t->hasImage = true;
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    TextureRecord* t = boundRecord();
    if (target != GL_TEXTURE_2D || t == nullptr) {
        setError(target != GL_TEXTURE_2D ? GL_INVALID_ENUM : GL_INVALID_OPERATION);
        return;
    }
    const bool filter = pname == GL_TEXTURE_MIN_FILTER || pname == GL_TEXTURE_MAG_FILTER;
    const bool wrap = pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T;
    if ((!filter && !wrap) || (wrap && param != GL_REPEAT && param != GL_CLAMP_TO_EDGE)) {
        setError(GL_INVALID_ENUM);
        return;
    }
    flushBatch();
    bindEsTexture(t->esName);
    gles2.es.glTexParameteri(GL_TEXTURE_2D, pname, param);
    if (pname == GL_TEXTURE_MIN_FILTER) {
        t->minFilter = param;
    }
}

GLuint glGenLists(GLsizei range)
{
    if (range <= 0 || gles2.listCount + static_cast<GLuint>(range) >= MAX_LISTS) {
        setError(range <= 0 ? GL_INVALID_VALUE : GL_OUT_OF_MEMORY);
        return 0;
    }
    const GLuint first = gles2.listCount + 1;
    gles2.listCount += static_cast<GLuint>(range);
    for (GLuint l = first; l <= gles2.listCount; ++l) {
        gles2.lists[l] = DisplayList{0, 0};
    }
    return first;
}

void glNewList(GLuint list, GLenum mode)
{
    if (list == 0 || list > gles2.listCount || (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE)) {
        setError(list == 0 || list > gles2.listCount ? GL_INVALID_VALUE : GL_INVALID_ENUM);
        return;
    }
    if (gles2.compilingList != 0) {
        setError(GL_INVALID_OPERATION);
        return;
    }
    gles2.compilingList = list;
    gles2.compileMode = mode;
    gles2.lists[list] = DisplayList{gles2.bitmapCount, 0};
}

void glEndList()
{
    if (gles2.compilingList == 0) {
        setError(GL_INVALID_OPERATION);
        return;
    }
    DisplayList& l = gles2.lists[gles2.compilingList];
    l.count = gles2.bitmapCount - l.first;
    gles2.compilingList = 0;
}

void glListBase(GLuint base) { gles2.listBase = base; }

void glCallLists(GLsizei n, GLenum type, const GLvoid* lists)
{
    if (type != GL_UNSIGNED_BYTE) {
        setError(GL_INVALID_ENUM);
        return;
    }
    const GLubyte* names = static_cast<const GLubyte*>(lists);
    for (GLsizei i = 0; i < n; ++i) {
        callList(gles2.listBase + names[i]);
    }
}

// Inside a display list the bitmap is kept in the atlas for the list; outside one it takes
// atlas room of its own each time.
void glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
              const GLubyte* bitmap)
{
    if (width < 0 || height < 0) {
        setError(GL_INVALID_VALUE);
        return;
    }
    ListBitmap b = {bitmap != nullptr ? width : 0, bitmap != nullptr ? height : 0, xorig, yorig, xmove, ymove, 0, 0};
    if (b.width > 0 && b.height > 0 && (gles2.bitmapCount == MAX_BITMAPS || !packBitmap(&b, bitmap))) {
        setError(GL_OUT_OF_MEMORY);
        b.width = b.height = 0;
    }
    if (gles2.compilingList != 0) {
        if (gles2.bitmapCount == MAX_BITMAPS) {
            return;
        }
        gles2.bitmaps[gles2.bitmapCount++] = b;
        if (gles2.compileMode == GL_COMPILE) {
            return;
        }
    }
    drawBitmap(b);
}

// The raster position: the point through the modelview and projection matrices of the moment
// to window coordinates, with the current colour (clamped) as its colour; invalid when the
// point lies outside the view volume.
void glRasterPos2f(GLfloat x, GLfloat y)
{
    Current& c = gles2.current;
    const float object[4] = {x, y, 0.0f, 1.0f};
    float mvp[16], clip[4];
    multiplyMatrix(mvp, projectionMatrix().m, modelviewMatrix().m);
    transformPoint(clip, mvp, object);
    const float w = clip[3];
    c.rasterValid = w > 0.0f && std::fabs(clip[0]) <= w && std::fabs(clip[1]) <= w && std::fabs(clip[2]) <= w;
    if (!c.rasterValid) {
        return;
    }
    const float invW = 1.0f / w;
    const float halfWidth = 0.5f * static_cast<float>(gles2.viewport[2]);
    const float halfHeight = 0.5f * static_cast<float>(gles2.viewport[3]);
    c.rasterPosition[0] = clip[0] * invW * halfWidth + (static_cast<float>(gles2.viewport[0]) + halfWidth);
    c.rasterPosition[1] = clip[1] * invW * halfHeight + (static_cast<float>(gles2.viewport[1]) + halfHeight);
    c.rasterPosition[2] = clip[2] * invW * 0.5f + 0.5f;
    c.rasterPosition[3] = w;
    for (int i = 0; i < 4; ++i) {
        c.rasterColour[i] = clamp01(c.colour[i]);
    }
}

void glPushAttrib(GLbitfield mask)
{
    if (gles2.attribDepth == ATTRIB_DEPTH) {
        setError(GL_STACK_OVERFLOW);
        return;
    }
    gles2.attribStack[gles2.attribDepth++] = AttribRecord{mask, gles2.listBase, gles2.switches, gles2.current};
}

// GL_LIST_BIT, GL_ENABLE_BIT and GL_CURRENT_BIT come back; other groups stay as they are.
void glPopAttrib()
{
    if (gles2.attribDepth == 0) {
        setError(GL_STACK_UNDERFLOW);
        return;
    }
    const AttribRecord& a = gles2.attribStack[--gles2.attribDepth];
    if (a.mask & GL_LIST_BIT) {
        gles2.listBase = a.listBase;
    }
    if (a.mask & GL_CURRENT_BIT) {
        gles2.current = a.current;
    }
    if ((a.mask & GL_ENABLE_BIT) && std::memcmp(&a.switches, &gles2.switches, sizeof a.switches) != 0) {
        flushBatch();
        gles2.switches = a.switches;
        applyEsSwitches();
    }
}

GLenum glGetError()
{
    const GLenum error = gles2.error;
    gles2.error = GL_NO_ERROR;
    return error != GL_NO_ERROR ? error : gles2.es.glGetError();
}

void glGetFloatv(GLenum pname, GLfloat* params)
{
    const float* from = nullptr;
    int n = 0;
    switch (pname) {
    case GL_COLOR_CLEAR_VALUE:
        from = gles2.clearColour, n = 4;
        break;
    case GL_DEPTH_CLEAR_VALUE:
        from = &gles2.clearDepth, n = 1;
        break;
    case GL_CURRENT_COLOR:
        from = gles2.current.colour, n = 4;
        break;
    case GL_CURRENT_RASTER_POSITION:
        from = gles2.current.rasterPosition, n = 4;
        break;
    case GL_CURRENT_RASTER_COLOR:
        from = gles2.current.rasterColour, n = 4;
        break;
    case GL_MODELVIEW_MATRIX:
        from = modelviewMatrix().m, n = 16;
        break;
    case GL_PROJECTION_MATRIX:
        from = projectionMatrix().m, n = 16;
        break;
    case GL_POINT_SIZE:
        from = &gles2.pointSize, n = 1;
        break;
    case GL_LINE_WIDTH:
        from = &gles2.lineWidth, n = 1;
        break;
    default:
        setError(GL_INVALID_ENUM);
        return;
    }
    std::memcpy(params, from, sizeof(float) * static_cast<size_t>(n));
}

void glGetIntegerv(GLenum pname, GLint* params)
{
    switch (pname) {
    case GL_UNPACK_ALIGNMENT:
        *params = gles2.unpackAlignment;
        break;
    case GL_PACK_ALIGNMENT:
        *params = gles2.packAlignment;
        break;
    case GL_VIEWPORT:
        std::memcpy(params, gles2.viewport, sizeof gles2.viewport);
        break;
    case GL_SCISSOR_BOX:
        std::memcpy(params, gles2.scissor, sizeof gles2.scissor);
        break;
    case GL_MATRIX_MODE:
        *params = static_cast<GLint>(gles2.matrixMode);
        break;
    case GL_MODELVIEW_STACK_DEPTH:
        *params = gles2.modelviewTop + 1;
        break;
    case GL_PROJECTION_STACK_DEPTH:
        *params = gles2.projectionTop + 1;
        break;
    case GL_LIST_BASE:
        *params = static_cast<GLint>(gles2.listBase);
        break;
    case GL_TEXTURE_BINDING_2D:
        *params = static_cast<GLint>(gles2.boundTexture);
        break;
    case GL_CURRENT_RASTER_POSITION_VALID:
        *params = gles2.current.rasterValid ? 1 : 0;
        break;
    case GL_BLEND_SRC:
        *params = static_cast<GLint>(gles2.blendSource);
        break;
    case GL_BLEND_DST:
        *params = static_cast<GLint>(gles2.blendDestination);
        break;
    default:
        setError(GL_INVALID_ENUM);
    }
}

}  // namespace gles2Entry

#define YARVIK_GLES2_ENTRY(type, name, params, args) &gles2Entry::name,
static const GlCalls GLES2_CALLS = {YARVIK_GL_CALLS(YARVIK_GLES2_ENTRY)};
#undef YARVIK_GLES2_ENTRY

const GlCalls* gles2Calls() { return &GLES2_CALLS; }

Gles2Counters gles2Counters() { return gles2.counters; }

bool gles2Start(GlProcLoader load)
{
    gles2 = Gles2State{};
    Es2Calls& es = gles2.es;
#define YARVIK_ES2_LOAD(type, name, params)                          \
    es.name = reinterpret_cast<type(*) params>(load(#name));         \
    if (es.name == nullptr) {                                        \
        return false;                                                \
    }
    YARVIK_ES2_CALLS(YARVIK_ES2_LOAD)
#undef YARVIK_ES2_LOAD
    if (!gles2BuildPrograms(es, gles2.programs)) {
        return false;
    }
    es.glGenBuffers(1, &gles2.vertexBuffer);
    es.glGenBuffers(1, &gles2.indexBuffer);
    es.glBindBuffer(GL_ARRAY_BUFFER, gles2.vertexBuffer);
    es.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gles2.indexBuffer);
    static const struct {
        GLint size;
        size_t offset;
    } ATTRIBUTES[ATTRIBUTE_COUNT] = {{3, offsetof(Vertex, position)},
                                     {4, offsetof(Vertex, colour)},
                                     {3, offsetof(Vertex, normal)},
                                     {2, offsetof(Vertex, texCoord)},
                                     {4, offsetof(Vertex, other)}};
    for (GLuint a = 0; a < ATTRIBUTE_COUNT; ++a) {
        es.glVertexAttribPointer(a, ATTRIBUTES[a].size, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                 reinterpret_cast<const void*>(ATTRIBUTES[a].offset));
        es.glEnableVertexAttribArray(a);
    }
    es.glGenTextures(1, &gles2.atlasTexture);
    bindEsTexture(gles2.atlasTexture);
    es.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    es.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    es.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    es.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // GL 1.1 and ES 2 start alike; the viewport and scissor box start as the drawable's size.
    es.glGetIntegerv(GL_VIEWPORT, gles2.viewport);
    std::memcpy(gles2.scissor, gles2.viewport, sizeof gles2.scissor);
    es.glDisable(GL_CULL_FACE);
    applyEsSwitches();
    return true;
}
