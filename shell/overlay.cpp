// The overlay projection, the fades and bitmap text.
#include "shell/overlay.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "shell/clock.h"
#include "shell/gl.h"
#include "shell/screen.h"
#include "shell/window.h"

static constexpr float FADE_MS = 1000.0f;

void pushOverlayProjection(int width, int height)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, static_cast<double>(width), 0.0, static_cast<double>(height), -1.0, 9999.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

void popOverlayProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// Milliseconds since startTick as an unsigned difference, so a wrap of the counter between
// the two readings still gives the true elapsed time.
static float elapsedMs(uint32_t startTick)
{
    uint32_t elapsed = tickCount() - startTick;
    return static_cast<float>(elapsed);
}

void fadeIn(uint32_t startTick)
{
    // Past 1000 ms alpha goes negative and is passed on: GL clamps it to 0 before blending.
    float alpha = 1.0f - elapsedMs(startTick) / FADE_MS;
    drawFadeOverlay(alpha);
}

int fadeOut(uint32_t startTick)
{
    float alpha = elapsedMs(startTick) / FADE_MS;
    if (alpha > 1.0f) {
        return 1;
    }
    drawFadeOverlay(alpha);
    return 0;
}

// A black quad over the whole picture whose alpha darkens every pixel to (1 - alpha) of its
// colour.
void drawFadeOverlay(float alpha)
{
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    pushOverlayProjection(SCREEN_WIDTH, SCREEN_HEIGHT);
    glEnable(GL_BLEND);
    glLoadIdentity();
    glColor4f(0.0f, 0.0f, 0.0f, alpha);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2d(0.0, 0.0);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2d(SCREEN_WIDTH, 0.0);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2d(SCREEN_WIDTH, SCREEN_HEIGHT);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2d(0.0, SCREEN_HEIGHT);
    glEnd();
    popOverlayProjection();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void drawBitmapText(const char* format, double x, double y, ...)
{
    char text[256];
    va_list args;
    va_start(args, y);
    int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0) {
        text[0] = '\0';
    }
    glRasterPos2f(static_cast<float>(x), static_cast<float>(y));
    glPushAttrib(GL_LIST_BIT);
    glListBase(windowCore.fontListBase);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}
