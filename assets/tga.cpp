// Placeholder until the TGA decoder lands: every load fails.
#include "assets/tga.h"

GLuint loadTextureFromTga(const unsigned char*, uint32_t, GLint) { return 0; }
int decodeTgaRaw(const unsigned char*, uint32_t, TgaImage*) { return 0; }
int decodeTgaRle(const unsigned char*, uint32_t, TgaImage*) { return 0; }
