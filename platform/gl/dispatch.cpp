// The GL entry points of platform/gl/gl_calls.h, each a call through the active table. The
// desktop table holds the driver's own functions, called with the same arguments, so drawing
// through it is drawing with the desktop GL itself.
#include "platform/gl/gl_calls.h"

// The calls made with no GL chosen ignore their arguments.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define YARVIK_GL_NO_CALL(type, name, params, args) \
    static type noCall_##name params { return type(); }
YARVIK_GL_CALLS(YARVIK_GL_NO_CALL)
#undef YARVIK_GL_NO_CALL
#pragma GCC diagnostic pop

#define YARVIK_GL_NO_CALL_ENTRY(type, name, params, args) noCall_##name,
static const GlCalls NO_GL_CALLS = {YARVIK_GL_CALLS(YARVIK_GL_NO_CALL_ENTRY)};
#undef YARVIK_GL_NO_CALL_ENTRY

static GlCalls desktopGlCalls;
const GlCalls* activeGlCalls = &NO_GL_CALLS;

void useGlCalls(const GlCalls* calls) { activeGlCalls = calls != nullptr ? calls : &NO_GL_CALLS; }

const char* useDesktopGl(GlProcLoader load)
{
    GlCalls calls;
#define YARVIK_GL_LOAD(type, name, params, args)                          \
    calls.name = reinterpret_cast<type(*) params>(load(#name));           \
    if (calls.name == nullptr) {                                          \
        return #name;                                                     \
    }
    YARVIK_GL_CALLS(YARVIK_GL_LOAD)
#undef YARVIK_GL_LOAD
    desktopGlCalls = calls;
    activeGlCalls = &desktopGlCalls;
    return nullptr;
}

#define YARVIK_GL_FORWARD(type, name, params, args) \
    extern "C" type name params { return activeGlCalls->name args; }
YARVIK_GL_CALLS(YARVIK_GL_FORWARD)
#undef YARVIK_GL_FORWARD
