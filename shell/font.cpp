// The bitmap font: 256 display lists, one per byte value, each drawing its glyph with
// glBitmap at the raster position and advancing it by the glyph's width. The glyphs are
// Liberation Sans Bold (metric-compatible with Arial) at a 14-pixel character height times
// the picture's scale, rendered to 1-bit bitmaps by FreeType from the font embedded in the
// program: text at any scale is drawn from glyphs of its own size, as crisp as at 14 pixels.
// Byte values map to characters as Windows-1252 maps them; a byte with no glyph gets an empty
// list.
#include "shell/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstring>

#include "assets/resources.h"
#include "shell/gl.h"
#include "shell/window.h"

static constexpr int FONT_PIXEL_HEIGHT = 14;
// The largest glyph bitmap, for the largest scale an output allows: no glyph of the font is
// more than twice the character height wide or tall.
static constexpr int GLYPH_MAX_SIDE = 2 * FONT_PIXEL_HEIGHT * OUTPUT_MAX_SIDE / SCREEN_HEIGHT;
static constexpr int GLYPH_MAX_BYTES = (GLYPH_MAX_SIDE + 7) / 8 * GLYPH_MAX_SIDE;

// Windows-1252 code points for the bytes 0x80 to 0x9F; 0 where the code page defines none.
static const unsigned short CP1252_HIGH[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The Unicode code point that a byte of text stands for (Windows-1252); 0 for none.
static unsigned int cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        return CP1252_HIGH[byte - 0x80];
    }
    return byte;
}

// Compiles one glyph into the list: its bitmap turned bottom-up for glBitmap, or only the
// advance for glyphs with no ink (the space).
static void compileGlyph(FT_Face face, unsigned int list, unsigned char byte)
{
    glNewList(list, GL_COMPILE);
    unsigned int code = cp1252ToUnicode(byte);
    FT_UInt index = code ? FT_Get_Char_Index(face, code) : 0;
    if (index != 0 && FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        const int rowBytes = static_cast<int>((bm.width + 7) / 8);
        static GLubyte bits[GLYPH_MAX_BYTES];
        const int rows = static_cast<int>(bm.rows);
        const bool fits = rowBytes * rows <= GLYPH_MAX_BYTES && bm.pixel_mode == FT_PIXEL_MODE_MONO;
        if (fits) {
            for (int r = 0; r < rows; ++r) {
                const unsigned char* src = bm.buffer + r * bm.pitch;
                std::memcpy(bits + (rows - 1 - r) * rowBytes, src, rowBytes);
            }
        }
        const GLfloat advance = static_cast<GLfloat>((slot->advance.x + 32) >> 6);
        glBitmap(fits ? bm.width : 0, fits ? bm.rows : 0,
                 static_cast<GLfloat>(-slot->bitmap_left),
                 static_cast<GLfloat>(rows - slot->bitmap_top),
                 advance, 0.0f, fits ? bits : nullptr);
    }
    glEndList();
}

void buildFontLists()
{
    windowCore.fontListBase = glGenLists(256);
    ResourceBlob font;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    const long scaledHeight = std::lround(static_cast<float>(FONT_PIXEL_HEIGHT) * windowCore.picture.scale);
    const FT_UInt pixelHeight = static_cast<FT_UInt>(scaledHeight > 1 ? scaledHeight : 1);
    bool ready = takeResource("SANSBOLD", "FONT", &font) && FT_Init_FreeType(&library) == 0 &&
                 FT_New_Memory_Face(library, font.data, static_cast<FT_Long>(font.size), 0, &face) == 0 &&
                 FT_Set_Pixel_Sizes(face, 0, pixelHeight) == 0;

    // glBitmap reads its rows byte-aligned while the lists compile; the standing unpack
    // alignment of 4 (which the texture uploads rely on) is restored afterwards.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int b = 0; b < 256; ++b) {
        if (ready) {
            compileGlyph(face, windowCore.fontListBase + b, static_cast<unsigned char>(b));
        } else {
            glNewList(windowCore.fontListBase + b, GL_COMPILE);
            glEndList();
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    if (face != nullptr) {
        FT_Done_Face(face);
    }
    if (library != nullptr) {
        FT_Done_FreeType(library);
    }
}
