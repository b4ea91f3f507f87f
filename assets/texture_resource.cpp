// The scenes' pictures: an embedded "TEXTURE" resource located, turned into a texture, and the
// located-resource record released (the bytes belong to the program image).
#include <cstdlib>

#include "assets/resources.h"
#include "assets/tga.h"

GLuint loadTextureResource(const char* name)
{
    ResourceBlob* blob = findResourceBlob(name, "TEXTURE");
    if (blob == nullptr) {
        return 0;
    }
    GLuint texture = loadTextureFromTga(blob->data, blob->size, GL_LINEAR);
    std::free(blob);
    return texture;
}
