// The scenes' pictures: an embedded "TEXTURE" resource located and turned into a texture.
#include "assets/texture_resource.h"

#include <cstdio>

#include "assets/resources.h"
#include "assets/tga.h"

GLuint loadTextureResource(const char* name)
{
    ResourceBlob blob;
    if (!takeResource(name, "TEXTURE", &blob)) {
        return 0;
    }
    GLuint texture = loadTextureFromTga(blob.data, blob.size, GL_LINEAR);
    if (texture == 0) {
        std::fprintf(stderr, "yarvik: the resource \"%s\" of type \"TEXTURE\" is no TGA image the demo reads\n",
                     name);
        std::fflush(stderr);
    }
    return texture;
}
