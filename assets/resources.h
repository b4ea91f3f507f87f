// Resources embedded in the program image: the music module, the textures and the font.
#pragma once

#include <cstdint>

// A located resource. The record is the caller's to free (std::free); the bytes belong to
// the program image, are read-only and are never freed.
struct ResourceBlob {
    uint32_t size;
    int32_t position;  // always 0; nothing reads or moves it
    const unsigned char* data;
};

// Finds the resource with this name and type; null when the program holds no such resource
// or the record cannot be allocated.
ResourceBlob* findResourceBlob(const char* name, const char* type);
