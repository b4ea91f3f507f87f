// How far two captures' frames are apart, frame by frame: for every frame NNNNNN.png found in
// both folders (yarvik-capture --out DIR), one CSV row with the mean absolute difference of
// each colour channel over the whole frame (0-255) and the 99.9th percentile and the largest of
// each pixel's largest channel difference. It reads the PNGs yarvik-capture writes (8-bit RGB,
// not interlaced, any filter) and refuses others.
//
//     frame_difference DIR_A DIR_B   > rows on standard output, status 1 on any failure
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

namespace {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows top first
};

uint32_t bigEndian(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

bool readFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    uint8_t block[1 << 16];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
        bytes->insert(bytes->end(), block, block + n);
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes each row's filter in place into image->rgb.
bool unfilter(const std::vector<uint8_t>& raw, Image* image)
{
    const size_t stride = static_cast<size_t>(image->width) * 3;
    if (raw.size() != (stride + 1) * image->height) {
        return false;
    }
    image->rgb.assign(stride * image->height, 0);
    for (int y = 0; y < image->height; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        uint8_t* out = &image->rgb[y * stride];
        const uint8_t* up = y > 0 ? out - stride : nullptr;
        if (filter > 4) {
            return false;
        }
        for (size_t x = 0; x < stride; ++x) {
            const int a = x >= 3 ? out[x - 3] : 0;
            const int b = up != nullptr ? up[x] : 0;
            const int c = x >= 3 && up != nullptr ? up[x - 3] : 0;
            const int predictor = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                                                                                    : paeth(a, b, c);
            out[x] = static_cast<uint8_t>(in[x] + predictor);
        }
    }
    return true;
}

bool readPng(const std::string& path, Image* image)
{
    static const uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<uint8_t> file;
    if (!readFile(path, &file) || file.size() < 8 || std::memcmp(file.data(), SIGNATURE, 8) != 0) {
        return false;
    }
    std::vector<uint8_t> packed;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = bigEndian(&file[at]);
        if (at + 12 + length > file.size()) {
            return false;
        }
        const uint8_t* type = &file[at + 4];
        const uint8_t* data = &file[at + 8];
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length < 13 || data[8] != 8 || data[9] != 2 || data[12] != 0) {
                return false;  // only 8-bit RGB without interlacing
            }
            image->width = static_cast<int>(bigEndian(data));
            image->height = static_cast<int>(bigEndian(data + 4));
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.insert(packed.end(), data, data + length);
        }
        at += 12 + length;
    }
    if (image->width <= 0 || image->height <= 0 || image->width > 16384 || image->height > 16384) {
        return false;
    }
    std::vector<uint8_t> raw((static_cast<size_t>(image->width) * 3 + 1) * image->height);
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, packed.data(), packed.size()) != Z_OK || rawSize != raw.size()) {
        return false;
    }
    return unfilter(raw, image);
}

// The frame files of a capture folder, sorted.
std::vector<std::string> frameNames(const char* dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir)) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) {
                names.push_back(name);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: frame_difference DIR_A DIR_B\n");
        return 2;
    }
    const std::vector<std::string> a = frameNames(argv[1]);
    const std::vector<std::string> b = frameNames(argv[2]);
    if (a.empty() || a != b) {
        std::fprintf(stderr, "frame_difference: %s and %s do not hold the same frames (%zu and %zu)\n", argv[1],
                     argv[2], a.size(), b.size());
        return 1;
    }
    std::printf("frame,mean_r,mean_g,mean_b,p999,max\n");
    for (const std::string& name : a) {
        Image x;
        Image y;
        if (!readPng(std::string(argv[1]) + "/" + name, &x) || !readPng(std::string(argv[2]) + "/" + name, &y) ||
            x.width != y.width || x.height != y.height) {
            std::fprintf(stderr, "frame_difference: %s: unreadable, or not the same size in both\n", name.c_str());
            return 1;
        }
        long sums[3] = {0, 0, 0};
        long histogram[256] = {};
        const size_t pixels = static_cast<size_t>(x.width) * x.height;
        for (size_t i = 0; i < pixels; ++i) {
            int largest = 0;
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(x.rgb[i * 3 + c]) - int(y.rgb[i * 3 + c]));
                sums[c] += d;
                largest = std::max(largest, d);
            }
            ++histogram[largest];
        }
        // The 99.9th percentile: the smallest difference that at least 99.9% of pixels stay within.
        const double within = 0.999 * static_cast<double>(pixels);
        long seen = 0;
        int p999 = 0;
        int most = 0;
        for (int d = 0; d < 256; ++d) {
            if (histogram[d] > 0) {
                most = d;
            }
            if (static_cast<double>(seen) < within) {
                seen += histogram[d];
                p999 = d;
            }
        }
        std::printf("%s,%.4f,%.4f,%.4f,%d,%d\n", name.substr(0, name.size() - 4).c_str(),
                    static_cast<double>(sums[0]) / pixels, static_cast<double>(sums[1]) / pixels,
                    static_cast<double>(sums[2]) / pixels, p999, most);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
