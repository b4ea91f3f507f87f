// Resource lookup over the table that the build assembles from resources/resources.list.
#include "assets/resources.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

struct EmbeddedResource {
    const char* type;
    const char* name;
    const unsigned char* data;
    uint64_t size;
};

extern "C" const EmbeddedResource yarvikResourceTable[];
extern "C" const uint64_t yarvikResourceCount;

ResourceBlob* findResourceBlob(const char* name, const char* type)
{
    if (name == nullptr || type == nullptr) {
        return nullptr;
    }
    for (uint64_t i = 0; i < yarvikResourceCount; ++i) {
        const EmbeddedResource& r = yarvikResourceTable[i];
        if (std::strcmp(r.name, name) != 0 || std::strcmp(r.type, type) != 0) {
            continue;
        }
        ResourceBlob* blob = static_cast<ResourceBlob*>(std::calloc(1, sizeof(ResourceBlob)));
        if (blob == nullptr) {
            return nullptr;
        }
        blob->data = r.data;
        blob->size = static_cast<uint32_t>(r.size);
        blob->position = 0;
        return blob;
    }
    return nullptr;
}

bool takeResource(const char* name, const char* type, ResourceBlob* blob, ResourceFinder find)
{
    ResourceBlob* found = find(name, type);
    if (found == nullptr) {
        *blob = ResourceBlob{0, 0, nullptr};
        std::fprintf(stderr, "yarvik: the program holds no resource \"%s\" of type \"%s\"\n", name, type);
        std::fflush(stderr);
        return false;
    }
    *blob = *found;
    std::free(found);
    return true;
}
