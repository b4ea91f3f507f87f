// The bitmap font: 256 display lists, one per byte value, drawing their glyphs at the raster
// position. Their base is windowCore.fontListBase.
#pragma once

// The font's display lists, its glyphs rasterised at 14 pixels times the picture's scale.
// Called by finishDemoWindow with the context current.
void buildFontLists();
