// The GLSL ES 1.00 source of the layer's programs, put together from a few defines. The vertex
// stage does GL 1.1's per-vertex work: the transform, lighting with light 0 (its products with
// the material already formed), the clamp of the colour to [0, 1] before it is interpolated,
// sphere-map generation and the widening of wide lines in window space.
#include "platform/gles2/gles2_programs.h"

#include <cstdio>

static const char* const VERTEX_SOURCE = R"(
attribute vec3 aPosition;
attribute vec4 aColour;
attribute vec3 aNormal;
attribute vec2 aTexCoord;
attribute vec4 aOther;
uniform mat4 uMvp;
uniform mat4 uModelview;
uniform mat3 uNormalMatrix;
uniform float uNormalize;
uniform float uPointSize;
uniform vec4 uSceneColour;
uniform vec3 uLightAmbient;
uniform vec3 uLightDiffuse;
uniform vec4 uLightPosition;
uniform vec3 uAttenuation;
uniform float uLightOn;
uniform vec2 uTexGen;
uniform vec4 uViewport;  // x, y, half the width, half the height
uniform float uLineHalfWidth;
varying vec4 vColour;
varying vec2 vTexCoord;

vec2 windowOf(vec4 clip)
{
    return clip.xy / clip.w * uViewport.zw + uViewport.xy + uViewport.zw;
}

void placeInWindow(vec2 window)
{
    gl_Position.xy = ((window - uViewport.xy) / uViewport.zw - 1.0) * gl_Position.w;
}

#ifdef WIDE_LINE
bool nonNegative(float v)
{
    return v >= 0.0;
}

// Where the ends of a one-pixel line from p1 to p2 lie once the diamond-exit rule has decided
// whether each end's pixel is drawn: the offsets of p1 and p2 along the line, x-major.
void xMajorEnds(vec2 p1, vec2 p2, out vec2 off1, out vec2 off2)
{
    float dx = p1.x - p2.x, dy = p1.y - p2.y, dydx = dy / dx;
    float x1diff = p1.x - floor(p1.x) - 0.5, y1diff = p1.y - floor(p1.y) - 0.5;
    float x2diff = p2.x - floor(p2.x) - 0.5, y2diff = p2.y - floor(p2.y) - 0.5;
    if (y2diff == -0.5 && dy < 0.0) {
        y2diff = 0.5;
    }
    bool drawStart, drawEnd;
    if (abs(x1diff) + abs(y1diff) < 0.5) {
        drawStart = true;
    } else if (nonNegative(x1diff) == nonNegative(-dx)) {
        drawStart = false;
    } else if (nonNegative(-y1diff) != nonNegative(dy)) {
        drawStart = true;
    } else {
        float t = fract(p1.y) + x1diff * dydx;
        drawStart = t < 1.0 && t > 0.0;
    }
    if (abs(x2diff) + abs(y2diff) < 0.5) {
        drawEnd = false;
    } else if (nonNegative(x2diff) != nonNegative(-dx)) {
        drawEnd = false;
    } else if (nonNegative(-y2diff) == nonNegative(dy)) {
        drawEnd = true;
    } else {
        float t = fract(p2.y) + x2diff * dydx;
        drawEnd = t < 1.0 && t > 0.0;
    }
    bool willDrawStart = nonNegative(-x1diff) != nonNegative(dx);
    bool willDrawEnd = nonNegative(x2diff) == nonNegative(-dx) || x2diff == 0.0;
    float towards = dx < 0.0 ? -0.5 : 0.5;
    off1 = vec2(0.0);
    off2 = vec2(0.0);
    if (willDrawStart != drawStart) {
        off1.x = towards - x1diff;
        off1.y = off1.x * dydx;
    }
    if (willDrawEnd != drawEnd) {
        off2.x = towards - x2diff;
        off2.y = off2.x * dydx;
    }
}

// The same for a y-major line.
void yMajorEnds(vec2 p1, vec2 p2, out vec2 off1, out vec2 off2)
{
    float dx = p1.x - p2.x, dy = p1.y - p2.y, dxdy = dx / dy;
    float x1diff = p1.x - floor(p1.x) - 0.5, y1diff = p1.y - floor(p1.y) - 0.5;
    float x2diff = p2.x - floor(p2.x) - 0.5, y2diff = p2.y - floor(p2.y) - 0.5;
    if (x2diff == -0.5 && dx < 0.0) {
        x2diff = 0.5;
    }
    bool drawStart, drawEnd;
    if (abs(x1diff) + abs(y1diff) < 0.5) {
        drawStart = true;
    } else if (nonNegative(-y1diff) == nonNegative(dy)) {
        drawStart = false;
    } else if (nonNegative(x1diff) != nonNegative(-dx)) {
        drawStart = true;
    } else {
        float t = fract(p1.x) + y1diff * dxdy;
        drawStart = t < 1.0 && t > 0.0;
    }
    if (abs(x2diff) + abs(y2diff) < 0.5) {
        drawEnd = false;
    } else if (nonNegative(-y2diff) != nonNegative(dy)) {
        drawEnd = false;
    } else if (nonNegative(x2diff) == nonNegative(-dx)) {
        drawEnd = true;
    } else {
        float t = fract(p2.x) + y2diff * dxdy;
        drawEnd = t < 1.0 && t >= 0.0;
    }
    bool willDrawStart = nonNegative(y1diff) == nonNegative(dy);
    bool willDrawEnd = nonNegative(-y2diff) == nonNegative(dy) || y2diff == 0.0;
    float towards = dy > 0.0 ? 0.5 : -0.5;
    off1 = vec2(0.0);
    off2 = vec2(0.0);
    if (willDrawStart != drawStart) {
        off1.y = towards - y1diff;
        off1.x = off1.y * dxdy;
    }
    if (willDrawEnd != drawEnd) {
        off2.y = towards - y2diff;
        off2.x = off2.y * dxdy;
    }
}
#endif

void main()
{
    vec4 position = vec4(aPosition, 1.0);
    gl_Position = uMvp * position;
#if defined(LIT) || defined(TEXGEN)
    vec4 eye = uModelview * position;
    vec3 n = uNormalMatrix * aNormal;
    if (uNormalize > 0.5) {
        n = normalize(n);
    }
#endif
#ifdef LIT
    vec4 colour = uSceneColour;
    if (uLightOn > 0.5) {
        vec3 toLight;
        float attenuation = 1.0;
        if (uLightPosition.w != 0.0) {
            toLight = uLightPosition.xyz / uLightPosition.w - eye.xyz / eye.w;
            float distance = length(toLight);
            toLight = toLight / distance;
            attenuation = 1.0 / (uAttenuation.x + uAttenuation.y * distance + uAttenuation.z * distance * distance);
        } else {
            toLight = normalize(uLightPosition.xyz);
        }
        colour.rgb += attenuation * (uLightAmbient + max(dot(n, toLight), 0.0) * uLightDiffuse);
    }
#else
    vec4 colour = aColour;
#endif
    vColour = clamp(colour, 0.0, 1.0);
#ifdef TEXGEN
    vec3 u = normalize(eye.xyz);
    vec3 r = u - 2.0 * n * dot(n, u);
    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
    vTexCoord = mix(aTexCoord, r.xy / m + 0.5, uTexGen);
#else
    vTexCoord = aTexCoord;
#endif
#ifdef WIDE_LINE
    // A corner of the quad that GL 1.1 rasterises a wide line as: aOther.w is -1 or 1 at the
    // line's first vertex (the side of the line), -2 or 2 at its second.
    bool first = abs(aOther.w) < 1.5;
    vec2 self = windowOf(gl_Position);
    vec2 other = windowOf(uMvp * vec4(aOther.xyz, 1.0));
    vec2 p1 = first ? self : other;
    vec2 p2 = first ? other : self;
    vec2 off1, off2;
    bool xMajor = abs(p1.x - p2.x) >= abs(p1.y - p2.y);
    if (xMajor) {
        xMajorEnds(p1, p2, off1, off2);
    } else {
        yMajorEnds(p1, p2, off1, off2);
    }
    vec2 across = (xMajor ? vec2(0.0, 1.0) : vec2(1.0, 0.0)) * (sign(aOther.w) * uLineHalfWidth);
    placeInWindow(self + (first ? off1 : off2) + across);
#endif
    // A point of GL 1.1 covers whole pixels: its square, of the size rounded to whole pixels,
    // has its corner on the pixel grid, after the position is snapped to the rasteriser's
    // 1/256 of a pixel.
    if (uPointSize > 0.0) {
        vec2 window = floor(windowOf(gl_Position) * 256.0 + 0.5) / 256.0;
        placeInWindow(floor(window + 0.5 - 0.5 * uPointSize) + 0.5 * uPointSize);
    }
    gl_PointSize = uPointSize;
}
)";

static const char* const FRAGMENT_SOURCE = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D uTexture;
varying vec4 vColour;
varying vec2 vTexCoord;

void main()
{
#ifdef TEXTURED
    gl_FragColor = vColour * texture2D(uTexture, vTexCoord);
#else
    gl_FragColor = vColour;
#endif
}
)";

// Bitmaps come as quads already in normalised device coordinates, with texture coordinates in
// texels of the atlas; a fragment is drawn where the bitmap's bit is set.
static const char* const BITMAP_VERTEX_SOURCE = R"(
attribute vec3 aPosition;
attribute vec4 aColour;
attribute vec2 aTexCoord;
varying vec4 vColour;
varying vec2 vTexCoord;

void main()
{
    gl_Position = vec4(aPosition, 1.0);
    vColour = aColour;
    vTexCoord = aTexCoord;
}
)";

static const char* const BITMAP_FRAGMENT_SOURCE = R"(
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D uTexture;
uniform vec2 uAtlasSize;
varying vec4 vColour;
varying vec2 vTexCoord;

void main()
{
    if (texture2D(uTexture, vTexCoord / uAtlasSize).a < 0.5) {
        discard;
    }
    gl_FragColor = vColour;
}
)";

static GLuint compileShader(const Es2Calls& es, GLenum stage, const char* defines, const char* body)
{
    const GLchar* parts[3] = {"#version 100\n", defines, body};
    GLuint shader = es.glCreateShader(stage);
    es.glShaderSource(shader, 3, parts, nullptr);
    es.glCompileShader(shader);
    GLint compiled = GL_FALSE;
    es.glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[1024];
        es.glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "GL 1.1 layer: a shader does not compile (%s): %s\n", defines, log);
        return 0;
    }
    return shader;
}

static bool linkProgram(const Es2Calls& es, Gles2Program* out, GLuint vertex, GLuint fragment)
{
    static const char* const ATTRIBUTE_NAMES[ATTRIBUTE_COUNT] = {"aPosition", "aColour", "aNormal", "aTexCoord",
                                                                 "aOther"};
    GLuint program = es.glCreateProgram();
    es.glAttachShader(program, vertex);
    es.glAttachShader(program, fragment);
    for (GLuint a = 0; a < ATTRIBUTE_COUNT; ++a) {
        es.glBindAttribLocation(program, a, ATTRIBUTE_NAMES[a]);
    }
    es.glLinkProgram(program);
    GLint linked = GL_FALSE;
    es.glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        std::fprintf(stderr, "GL 1.1 layer: a program does not link\n");
        return false;
    }
    Gles2Program& p = *out;
    p.program = program;
    p.mvp = es.glGetUniformLocation(program, "uMvp");
    p.modelview = es.glGetUniformLocation(program, "uModelview");
    p.normalMatrix = es.glGetUniformLocation(program, "uNormalMatrix");
    p.normalize = es.glGetUniformLocation(program, "uNormalize");
    p.pointSize = es.glGetUniformLocation(program, "uPointSize");
    p.sceneColour = es.glGetUniformLocation(program, "uSceneColour");
    p.lightAmbient = es.glGetUniformLocation(program, "uLightAmbient");
    p.lightDiffuse = es.glGetUniformLocation(program, "uLightDiffuse");
    p.lightPosition = es.glGetUniformLocation(program, "uLightPosition");
    p.attenuation = es.glGetUniformLocation(program, "uAttenuation");
    p.lightOn = es.glGetUniformLocation(program, "uLightOn");
    p.texGen = es.glGetUniformLocation(program, "uTexGen");
    p.viewport = es.glGetUniformLocation(program, "uViewport");
    p.lineHalfWidth = es.glGetUniformLocation(program, "uLineHalfWidth");
    p.atlasSize = es.glGetUniformLocation(program, "uAtlasSize");
    p.texture = es.glGetUniformLocation(program, "uTexture");
    es.glUseProgram(program);
    if (p.texture >= 0) {
        es.glUniform1i(p.texture, 0);
    }
    return true;
}

bool gles2BuildPrograms(const Es2Calls& es, Gles2Program programs[PROGRAM_COUNT])
{
    GLuint fragments[2] = {compileShader(es, GL_FRAGMENT_SHADER, "", FRAGMENT_SOURCE),
                           compileShader(es, GL_FRAGMENT_SHADER, "#define TEXTURED\n", FRAGMENT_SOURCE)};
    if (fragments[0] == 0 || fragments[1] == 0) {
        return false;
    }
    for (int bits = 0; bits < PROGRAM_BITMAP; ++bits) {
        char defines[96];
        std::snprintf(defines, sizeof defines, "%s%s%s", (bits & PROGRAM_LIT) ? "#define LIT\n" : "",
                      (bits & PROGRAM_TEXGEN) ? "#define TEXGEN\n" : "",
                      (bits & PROGRAM_WIDE_LINE) ? "#define WIDE_LINE\n" : "");
        GLuint vertex = compileShader(es, GL_VERTEX_SHADER, defines, VERTEX_SOURCE);
        if (vertex == 0 || !linkProgram(es, &programs[bits], vertex, fragments[(bits & PROGRAM_TEXTURED) ? 1 : 0])) {
            return false;
        }
    }
    GLuint bitmapVertex = compileShader(es, GL_VERTEX_SHADER, "", BITMAP_VERTEX_SOURCE);
    GLuint bitmapFragment = compileShader(es, GL_FRAGMENT_SHADER, "", BITMAP_FRAGMENT_SOURCE);
    return bitmapVertex != 0 && bitmapFragment != 0 &&
           linkProgram(es, &programs[PROGRAM_BITMAP], bitmapVertex, bitmapFragment);
}
