// The bitmap font: 256 display lists, one per byte value, drawing their glyphs at the raster
// position. Their base is windowCore.fontListBase.
#pragma once

// The font's display lists, its glyphs rasterised at 14 pixels times the picture's scale.
// Called by finishDemoWindow with the context current.
void buildFontLists();

// The Unicode code point that a byte of text stands for (Windows-1252); 0 for none.
unsigned int cp1252ToUnicode(unsigned char byte);
