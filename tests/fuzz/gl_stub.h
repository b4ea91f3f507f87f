// The few GL entry points the TGA loader calls, as a stub for the fuzzer: it names textures,
// tracks the bound texture and the unpack alignment, and reads every byte an upload would.
#pragma once

#include <cstdint>

struct GlStub {
    uint32_t generated;  // texture names handed out
    uint32_t bound;      // texture bound to GL_TEXTURE_2D
    int32_t alignment;   // GL_UNPACK_ALIGNMENT
    uint32_t uploads;
    uint32_t checksum;   // of the uploaded bytes, so that reading them cannot be skipped
};

extern GlStub glStub;
