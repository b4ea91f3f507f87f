// Resources embedded in the program image: the music module, the textures and the font.
#pragma once

#include <cstdint>

// A located resource. findResourceBlob allocates the record and its caller owns it; the bytes
// belong to the program image, are read-only, stay valid for the whole run and are never freed.
struct ResourceBlob {
    uint32_t size;
    int32_t position;  // always 0; nothing reads or moves it
    const unsigned char* data;
};

// Finds the resource with this name and type: a new record, the caller's to free (std::free),
// or null when the program holds no such resource or the record cannot be allocated.
ResourceBlob* findResourceBlob(const char* name, const char* type);

// How the demo itself finds a resource: through `find` (findResourceBlob, or a test's
// stand-in for it), with the record copied into `blob` and freed at once, so that no caller is
// left holding one to free. A resource that cannot be found is reported in one line on stderr,
// the same for every kind; the result is then false and `blob` holds no bytes.
using ResourceFinder = ResourceBlob* (*)(const char* name, const char* type);
bool takeResource(const char* name, const char* type, ResourceBlob* blob, ResourceFinder find = findResourceBlob);
