// Finds one embedded resource through the wasm build's resource table, as the browser build
// does, and writes its bytes to a file, so that a test can compare them with the file they
// were made from. On node: `node resource_probe.js TYPE NAME OUT` prints "TYPE NAME SIZE",
// or exits with status 1 when the program holds no such resource.
#include "assets/resources.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: resource_probe TYPE NAME OUT\n");
        return 2;
    }
    ResourceBlob* blob = findResourceBlob(argv[2], argv[1]);
    if (blob == nullptr) {
        std::printf("no resource %s %s\n", argv[1], argv[2]);
        return 1;
    }
    std::FILE* out = std::fopen(argv[3], "wb");
    if (out == nullptr || std::fwrite(blob->data, 1, blob->size, out) != blob->size || std::fclose(out) != 0) {
        std::fprintf(stderr, "resource_probe: cannot write %s\n", argv[3]);
        return 2;
    }
    std::printf("%s %s %u\n", argv[1], argv[2], static_cast<unsigned>(blob->size));
    std::free(blob);
    return 0;
}
