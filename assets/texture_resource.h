// The scenes' pictures, from the embedded "TEXTURE" resources.
#pragma once

#include "shell/gl.h"

// The texture made from the embedded "TEXTURE" resource `name`, with linear filtering, as
// every scene loads its pictures: 0, with a line on stderr, when the resource is missing or
// cannot be decoded.
GLuint loadTextureResource(const char* name);
