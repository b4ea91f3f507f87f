// The recording GL and GLU entry points.
#include "tests/fakes/gl_recorder.h"


#include <cmath>
#include <cstring>
#include <initializer_list>

GlRecorder glrec;

Mat4 mat4Identity()
{
    return Mat4{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Mat4 mat4Multiply(const Mat4& a, const Mat4& b)
{
    Mat4 r{};
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k) {
                s += a[k * 4 + row] * b[c * 4 + k];
            }
            r[c * 4 + row] = s;
        }
    }
    return r;
}

std::array<double, 4> mat4Apply(const Mat4& m, double x, double y, double z)
{
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row) {
        r[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    }
    return r;
}

void glRecorderReset()
{
    glrec = GlRecorder{};
    // Deeper than any GL implementation's stacks, so that pushing never reallocates.
    glrec.modelview.reserve(64);
    glrec.projection.reserve(64);
    glrec.texture.reserve(64);
    glrec.listBaseStack.reserve(64);
    glrec.modelview.push_back(mat4Identity());
    glrec.projection.push_back(mat4Identity());
    glrec.texture.push_back(mat4Identity());
    glrec.enabled.insert(GL_DITHER);
}

namespace {
struct ResetAtStart {
    ResetAtStart() { glRecorderReset(); }
} resetAtStart;

void record(const char* name, std::initializer_list<double> args, const std::string& text = std::string())
{
    ++glrec.callCount;
    if (!glrec.keepCalls && glrec.compilingList == 0) {
        return;
    }
    GlCall call{name, std::vector<double>(args), text};
    if (glrec.compilingList != 0) {
        glrec.lists[glrec.compilingList].push_back(call);
        return;
    }
    glrec.calls.push_back(std::move(call));
}

std::vector<Mat4>& currentStack()
{
    switch (glrec.matrixMode) {
    case GL_PROJECTION:
        return glrec.projection;
    case GL_TEXTURE:
        return glrec.texture;
    default:
        return glrec.modelview;
    }
}

void multiplyCurrent(const Mat4& m)
{
    Mat4& top = currentStack().back();
    top = mat4Multiply(top, m);
}
}  // namespace

std::vector<GlCall> glCallsNamed(const std::string& name)
{
    std::vector<GlCall> out;
    for (const GlCall& c : glrec.calls) {
        if (c.name == name) {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<std::string> glCallNames()
{
    std::vector<std::string> out;
    for (const GlCall& c : glrec.calls) {
        out.push_back(c.name);
    }
    return out;
}

int glFindCall(const std::string& name, size_t from)
{
    for (size_t i = from; i < glrec.calls.size(); ++i) {
        if (glrec.calls[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

extern "C" {

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { record("glViewport", {double(x), double(y), double(w), double(h)}); }
void glScissor(GLint x, GLint y, GLsizei w, GLsizei h) { record("glScissor", {double(x), double(y), double(w), double(h)}); }

void glMatrixMode(GLenum mode)
{
    record("glMatrixMode", {double(mode)});
    glrec.matrixMode = mode;
}

void glLoadIdentity()
{
    record("glLoadIdentity", {});
    currentStack().back() = mat4Identity();
}

void glPushMatrix()
{
    record("glPushMatrix", {});
    std::vector<Mat4>& s = currentStack();
    s.push_back(s.back());
}

void glPopMatrix()
{
    record("glPopMatrix", {});
    std::vector<Mat4>& s = currentStack();
    if (s.size() > 1) {
        s.pop_back();
    }
}

void glLoadMatrixd(const GLdouble* m)
{
    record("glLoadMatrixd", {});
    Mat4 r{};
    std::memcpy(r.data(), m, sizeof r);
    currentStack().back() = r;
}

void glMultMatrixd(const GLdouble* m)
{
    record("glMultMatrixd", {});
    Mat4 r{};
    std::memcpy(r.data(), m, sizeof r);
    multiplyCurrent(r);
}

void glMultMatrixf(const GLfloat* m)
{
    record("glMultMatrixf", {});
    Mat4 r{};
    for (int i = 0; i < 16; ++i) {
        r[i] = m[i];
    }
    multiplyCurrent(r);
}

void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    record("glOrtho", {l, r, b, t, n, f});
    Mat4 m = mat4Identity();
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    multiplyCurrent(m);
}

void glFrustum(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f)
{
    record("glFrustum", {l, r, b, t, n, f});
    Mat4 m{};
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
    multiplyCurrent(m);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    record("gluPerspective", {fovy, aspect, zNear, zFar});
    double f = 1.0 / std::tan(fovy * M_PI / 360.0);
    Mat4 m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
    multiplyCurrent(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    record("glRotatef", {angle, x, y, z});
    double len = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (len == 0) {
        return;
    }
    double ux = x / len, uy = y / len, uz = z / len;
    double a = angle * M_PI / 180.0;
    double c = std::cos(a), s = std::sin(a), t = 1 - c;
    Mat4 m = mat4Identity();
    m[0] = t * ux * ux + c;
    m[1] = t * ux * uy + s * uz;
    m[2] = t * ux * uz - s * uy;
    m[4] = t * ux * uy - s * uz;
    m[5] = t * uy * uy + c;
    m[6] = t * uy * uz + s * ux;
    m[8] = t * ux * uz + s * uy;
    m[9] = t * uy * uz - s * ux;
    m[10] = t * uz * uz + c;
    multiplyCurrent(m);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    record("glTranslatef", {x, y, z});
    Mat4 m = mat4Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    multiplyCurrent(m);
}

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    record("glScalef", {x, y, z});
    Mat4 m = mat4Identity();
    m[0] = x;
    m[5] = y;
    m[10] = z;
    multiplyCurrent(m);
}

void glShadeModel(GLenum mode) { record("glShadeModel", {double(mode)}); }
void glClearDepth(GLclampd depth) { record("glClearDepth", {depth}); }

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    record("glClearColor", {r, g, b, a});
    glrec.clearColor = {r, g, b, a};
}

void glClear(GLbitfield mask) { record("glClear", {double(mask)}); }

void glEnable(GLenum cap)
{
    record("glEnable", {double(cap)});
    if (glrec.keepCalls) {
        glrec.enabled.insert(cap);
    }
}

void glDisable(GLenum cap)
{
    record("glDisable", {double(cap)});
    if (glrec.keepCalls) {
        glrec.enabled.erase(cap);
    }
}

GLboolean glIsEnabled(GLenum cap) { return glrec.enabled.count(cap) ? GL_TRUE : GL_FALSE; }

void glDepthFunc(GLenum func) { record("glDepthFunc", {double(func)}); }
void glCullFace(GLenum mode) { record("glCullFace", {double(mode)}); }
void glFrontFace(GLenum mode) { record("glFrontFace", {double(mode)}); }

void glBlendFunc(GLenum src, GLenum dst)
{
    record("glBlendFunc", {double(src), double(dst)});
    glrec.blendSrc = src;
    glrec.blendDst = dst;
}

void glHint(GLenum target, GLenum mode) { record("glHint", {double(target), double(mode)}); }

void glTexGeni(GLenum coord, GLenum pname, GLint param)
{
    record("glTexGeni", {double(coord), double(pname), double(param)});
    if (pname == GL_TEXTURE_GEN_MODE && glrec.keepCalls) {
        glrec.texGenMode[coord] = param;
    }
}

void glBegin(GLenum mode)
{
    record("glBegin", {double(mode)});
    glrec.primitive = mode;
}

void glEnd()
{
    record("glEnd", {});
    glrec.primitive = 0;
    ++glrec.beginEndPairs;
}

void glVertex2d(GLdouble x, GLdouble y) { record("glVertex2d", {x, y}); }
void glVertex2f(GLfloat x, GLfloat y) { record("glVertex2f", {x, y}); }
void glVertex2i(GLint x, GLint y) { record("glVertex2i", {double(x), double(y)}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { record("glVertex3f", {x, y, z}); }
void glVertex3fv(const GLfloat* v) { record("glVertex3f", {v[0], v[1], v[2]}); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    record("glNormal3f", {x, y, z});
    glrec.normal = {x, y, z};
}

void glNormal3fv(const GLfloat* v) { glNormal3f(v[0], v[1], v[2]); }

void glTexCoord2f(GLfloat s, GLfloat t)
{
    record("glTexCoord2f", {s, t});
    glrec.texCoord = {s, t};
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b)
{
    record("glColor3f", {r, g, b});
    glrec.color = {r, g, b, 1.0f};
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
    record("glColor4f", {r, g, b, a});
    glrec.color = {r, g, b, a};
}

void glRasterPos2f(GLfloat x, GLfloat y)
{
    record("glRasterPos2f", {x, y});
    glrec.rasterPos = {x, y, 0, 1};
    glrec.rasterColor = glrec.color;
}

void glRasterPos2i(GLint x, GLint y) { glRasterPos2f(GLfloat(x), GLfloat(y)); }

void glPushAttrib(GLbitfield mask)
{
    record("glPushAttrib", {double(mask)});
    glrec.listBaseStack.push_back(glrec.listBase);
}

void glPopAttrib()
{
    record("glPopAttrib", {});
    if (!glrec.listBaseStack.empty()) {
        glrec.listBase = glrec.listBaseStack.back();
        glrec.listBaseStack.pop_back();
    }
}

void glListBase(GLuint base)
{
    record("glListBase", {double(base)});
    glrec.listBase = base;
}

void glCallLists(GLsizei n, GLenum type, const GLvoid* lists)
{
    std::string text;
    if (type == GL_UNSIGNED_BYTE && n > 0 && (glrec.keepCalls || glrec.compilingList != 0)) {
        text.assign(static_cast<const char*>(lists), static_cast<size_t>(n));
    }
    record("glCallLists", {double(n), double(type)}, text);
}

void glCallList(GLuint list) { record("glCallList", {double(list)}); }

GLuint glGenLists(GLsizei range)
{
    record("glGenLists", {double(range)});
    GLuint base = glrec.nextList;
    glrec.nextList += static_cast<GLuint>(range);
    return base;
}

void glNewList(GLuint list, GLenum mode)
{
    record("glNewList", {double(list), double(mode)});
    glrec.compilingList = list;
    glrec.lists[list].clear();
}

void glEndList()
{
    glrec.compilingList = 0;
    record("glEndList", {});
}

void glDeleteLists(GLuint list, GLsizei range) { record("glDeleteLists", {double(list), double(range)}); }

void glBitmap(GLsizei w, GLsizei h, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove, const GLubyte*)
{
    record("glBitmap", {double(w), double(h), xorig, yorig, xmove, ymove});
}

void glPixelStorei(GLenum pname, GLint param)
{
    record("glPixelStorei", {double(pname), double(param)});
    if (pname == GL_UNPACK_ALIGNMENT) {
        glrec.unpackAlignment = param;
    }
}

void glGenTextures(GLsizei n, GLuint* names)
{
    record("glGenTextures", {double(n)});
    for (GLsizei i = 0; i < n; ++i) {
        names[i] = glrec.nextTexture++;
        glrec.textures[names[i]];
    }
}

void glDeleteTextures(GLsizei n, const GLuint* names)
{
    record("glDeleteTextures", {double(n)});
    for (GLsizei i = 0; i < n; ++i) {
        glrec.textures.erase(names[i]);
    }
}

void glBindTexture(GLenum target, GLuint name)
{
    record("glBindTexture", {double(target), double(name)});
    glrec.boundTexture = name;
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels)
{
    record("glTexImage2D", {double(target), double(level), double(internalFormat), double(width), double(height),
                            double(border), double(format), double(type)});
    GlTexture& t = glrec.textures[glrec.boundTexture];
    t.width = width;
    t.height = height;
    t.format = format;
    t.internalFormat = internalFormat;
    size_t bpp = format == GL_RGBA ? 4 : 3;
    const unsigned char* p = static_cast<const unsigned char*>(pixels);
    t.pixels.assign(p, p + (pixels ? size_t(width) * size_t(height) * bpp : 0));
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    record("glTexParameteri", {double(target), double(pname), double(param)});
    GlTexture& t = glrec.textures[glrec.boundTexture];
    if (pname == GL_TEXTURE_MIN_FILTER) {
        t.minFilter = param;
    } else if (pname == GL_TEXTURE_MAG_FILTER) {
        t.magFilter = param;
    }
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    int n = pname == GL_SPOT_DIRECTION ? 3 : (pname == GL_AMBIENT || pname == GL_DIFFUSE || pname == GL_SPECULAR ||
                                              pname == GL_POSITION)
                                                 ? 4
                                                 : 1;
    std::array<float, 4> v{0, 0, 0, 0};
    for (int i = 0; i < n; ++i) {
        v[i] = params[i];
    }
    record("glLightfv", {double(light), double(pname), v[0], v[1], v[2], v[3]});
    if (glrec.keepCalls) {
        glrec.lights[light].params[pname] = v;
    }
}

void glFlush() { record("glFlush", {}); }
void glFinish() { record("glFinish", {}); }
GLenum glGetError()
{
    const GLenum error = glrec.error;
    glrec.error = GL_NO_ERROR;
    return error;
}
void glPointSize(GLfloat size) { record("glPointSize", {size}); }
void glLineWidth(GLfloat width) { record("glLineWidth", {width}); }

void glGetIntegerv(GLenum pname, GLint* params)
{
    switch (pname) {
    case GL_MATRIX_MODE:
        *params = GLint(glrec.matrixMode);
        break;
    case GL_TEXTURE_BINDING_2D:
        *params = GLint(glrec.boundTexture);
        break;
    case GL_LIST_BASE:
        *params = GLint(glrec.listBase);
        break;
    case GL_BLEND_SRC:
        *params = GLint(glrec.blendSrc);
        break;
    case GL_BLEND_DST:
        *params = GLint(glrec.blendDst);
        break;
    case GL_UNPACK_ALIGNMENT:
        *params = glrec.unpackAlignment;
        break;
    default:
        *params = 0;
        break;
    }
}

void glGetFloatv(GLenum pname, GLfloat* params)
{
    if (pname == GL_COLOR_CLEAR_VALUE) {
        std::memcpy(params, glrec.clearColor.data(), sizeof glrec.clearColor);
    }
}

void glGetDoublev(GLenum pname, GLdouble* params)
{
    const Mat4* m = nullptr;
    if (pname == GL_MODELVIEW_MATRIX) {
        m = &glrec.modelview.back();
    } else if (pname == GL_PROJECTION_MATRIX) {
        m = &glrec.projection.back();
    }
    if (m != nullptr) {
        std::memcpy(params, m->data(), sizeof(Mat4));
    }
}

}  // extern "C"
