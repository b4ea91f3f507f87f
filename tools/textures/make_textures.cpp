// Writes the demo's three pictures as run-length TGA files: make_textures <resources folder>.
//   reddish.tga  64x64, 24 bits: red veined noise, the knot tube's surface
//   ball.tga     32x32, 32 bits: a soft pale yellow-white glow, the ball sprite
//   tunnel.tga   64x64, 32 bits: dark red cracked-stone noise, the tunnel wall
// The output is the same on every run. The noise tiles seamlessly, since the scenes repeat
// the textures. Each file ends with the TGA 2.0 footer, and its packets are laid out to give
// it its fixed byte size, the one tests/resources_test.cpp checks: 12,391 bytes for
// reddish.tga, 2,179 for ball.tga, 16,350 for tunnel.tga (longer packets split where needed).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double TURN = 6.283185307179586;

struct Picture {
    int width;
    int height;
    int bitsPerPixel;
    int descriptor;
    std::vector<uint8_t> bgra;  // stored order, B,G,R(,A) per pixel, first row at the bottom
};

struct Packet {
    bool run;
    int first;  // index of the first pixel
    int count;  // 1 to 128
};

uint32_t hash3(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

double unitHash(uint32_t x, uint32_t y, uint32_t seed) { return hash3(x, y, seed) / 4294967296.0; }

int wrap(int i, int period) { return ((i % period) + period) % period; }

// Gradient noise on a lattice that repeats every `period` cells; about -0.7 to 0.7.
double gradientNoise(double x, double y, int period, uint32_t seed)
{
    int x0 = int(std::floor(x));
    int y0 = int(std::floor(y));
    double fx = x - x0;
    double fy = y - y0;
    auto corner = [&](int dx, int dy) {
        double angle = TURN * unitHash(wrap(x0 + dx, period), wrap(y0 + dy, period), seed);
        return std::cos(angle) * (fx - dx) + std::sin(angle) * (fy - dy);
    };
    auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    double u = fade(fx);
    double v = fade(fy);
    double bottom = corner(0, 0) + u * (corner(1, 0) - corner(0, 0));
    double top = corner(0, 1) + u * (corner(1, 1) - corner(0, 1));
    return bottom + v * (top - bottom);
}

// Fractal sum of octaves over the unit tile (u, v in 0..1), starting at `period` cells.
double fractalNoise(double u, double v, int period, int octaves, uint32_t seed)
{
    double sum = 0;
    double amplitude = 1;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * gradientNoise(u * period, v * period, period, seed + uint32_t(o));
        period *= 2;
        amplitude *= 0.5;
    }
    return sum;
}

// Ridged turbulence: sharp creases where the noise crosses zero, softer between.
double ridgedNoise(double u, double v, int period, int octaves, uint32_t seed)
{
    double sum = 0;
    double amplitude = 1;
    for (int o = 0; o < octaves; ++o) {
        double n = 1 - std::fabs(gradientNoise(u * period, v * period, period, seed + uint32_t(o)));
        sum += amplitude * n * n * n * n;
        period *= 2;
        amplitude *= 0.5;
    }
    return sum;
}

// Distances to the nearest and second nearest feature point, one point per cell of a
// cells x cells grid that wraps around the tile; in cell units.
void cellDistances(double u, double v, int cells, uint32_t seed, double* nearest, double* second)
{
    double x = u * cells;
    double y = v * cells;
    int cx = int(std::floor(x));
    int cy = int(std::floor(y));
    *nearest = 1e9;
    *second = 1e9;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            int gx = cx + dx;
            int gy = cy + dy;
            double px = gx + 0.15 + 0.7 * unitHash(wrap(gx, cells), wrap(gy, cells), seed);
            double py = gy + 0.15 + 0.7 * unitHash(wrap(gx, cells), wrap(gy, cells), seed + 7919);
            double d = std::hypot(px - x, py - y);
            if (d < *nearest) {
                *second = *nearest;
                *nearest = d;
            } else if (d < *second) {
                *second = d;
            }
        }
    }
}

// Scales the values linearly onto 0..1 and bends them with a power so that their mean
// becomes `mean`.
void normaliseToMean(std::vector<double>& values, double mean)
{
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    double low = *lo;
    double range = *hi - *lo;
    for (double& value : values) {
        value = (value - low) / range;
    }
    double a = 0.05;
    double b = 20;
    for (int i = 0; i < 100; ++i) {
        double power = std::sqrt(a * b);
        double sum = 0;
        for (double value : values) {
            sum += std::pow(value, power);
        }
        if (sum / double(values.size()) > mean) {
            a = power;
        } else {
            b = power;
        }
    }
    double power = std::sqrt(a * b);
    for (double& value : values) {
        value = std::pow(value, power);
    }
}

// The power k for which max * t^k over the values t (0..1) has the given mean.
double powerForMean(const std::vector<double>& values, double max, double mean)
{
    double a = 0.05;
    double b = 60;
    for (int i = 0; i < 100; ++i) {
        double power = std::sqrt(a * b);
        double sum = 0;
        for (double value : values) {
            sum += max * std::pow(value, power);
        }
        if (sum / double(values.size()) > mean) {
            a = power;
        } else {
            b = power;
        }
    }
    return std::sqrt(a * b);
}

uint8_t toByte(double value) { return uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

void setPixel(Picture& p, int index, double r, double g, double b, double a)
{
    int step = p.bitsPerPixel / 8;
    uint8_t* out = &p.bgra[size_t(index) * step];
    out[0] = toByte(b);
    out[1] = toByte(g);
    out[2] = toByte(r);
    if (step == 4) {
        out[3] = toByte(a);
    }
}

// Red veined noise: soft clouds crossed by bright ridges. Red 95 to 245 with mean 172;
// green and blue only in the brightest places, mean 6, always below 60.
Picture makeReddish()
{
    Picture p{64, 64, 24, 0, std::vector<uint8_t>(64 * 64 * 3)};
    int count = p.width * p.height;
    std::vector<double> field(count);
    std::vector<double> shine(count);
    for (int i = 0; i < count; ++i) {
        double u = (i % p.width + 0.5) / p.width;
        double v = (i / p.width + 0.5) / p.height;
        double clouds = fractalNoise(u, v, 4, 4, 11);
        double ridges = ridgedNoise(u + 0.15 * clouds, v + 0.15 * clouds, 3, 3, 23);
        field[i] = 0.5 * clouds + 0.6 * ridges;
        shine[i] = fractalNoise(u, v, 8, 3, 37);
    }
    normaliseToMean(field, (172.0 - 95.0) / 150.0);
    double greenPower = powerForMean(field, 59.4, 6.0);
    std::vector<double> blueBase(count);
    for (int i = 0; i < count; ++i) {
        blueBase[i] = std::clamp(field[i] * (0.85 + 0.25 * shine[i]), 0.0, 1.0);
    }
    double bluePower = powerForMean(blueBase, 59.4, 6.0);
    for (int i = 0; i < count; ++i) {
        setPixel(p, i, 95 + 150 * field[i], 59.4 * std::pow(field[i], greenPower),
                 59.4 * std::pow(blueBase[i], bluePower), 255);
    }
    return p;
}

// Dark red cracked stone: cells of a wrapping grid with dark seams between them, mottled
// by fractal noise. Mean about R 96, G 16, B 17; fully opaque.
Picture makeTunnel()
{
    Picture p{64, 64, 32, 8, std::vector<uint8_t>(64 * 64 * 4)};
    int count = p.width * p.height;
    std::vector<double> field(count);
    for (int i = 0; i < count; ++i) {
        double u = (i % p.width + 0.5) / p.width;
        double v = (i / p.width + 0.5) / p.height;
        double nearest = 0;
        double second = 0;
        cellDistances(u, v, 6, 101, &nearest, &second);
        double seam = std::min(1.0, (second - nearest) * 2.2);
        double mottle = fractalNoise(u, v, 4, 4, 131);
        field[i] = std::sqrt(seam) * (0.75 + 0.45 * mottle) + 0.25 * mottle;
    }
    normaliseToMean(field, (96.0 - 28.0) / 140.0);
    for (int i = 0; i < count; ++i) {
        double red = 28 + 140 * field[i];
        setPixel(p, i, red, 16 + 0.16 * (red - 96), 17 + 0.14 * (red - 96), 255);
    }
    return p;
}

// The ball sprite: pale yellow-white everywhere, whiter towards the middle, with an alpha
// of about 150 in the middle falling to 0 at a radius of 12 pixels. The outermost faint
// ring rounds to 0, leaving exactly 322 pixels visible (702 fully transparent); a touch of
// noise in the falloff keeps the rim from being perfectly round.
Picture makeBall()
{
    constexpr int VISIBLE = 1024 - 702;
    Picture p{32, 32, 32, 8, std::vector<uint8_t>(32 * 32 * 4)};
    int count = p.width * p.height;
    std::vector<double> radius(count);
    std::vector<double> wobble(count);
    for (int i = 0; i < count; ++i) {
        double x = i % p.width + 0.5 - 16;
        double y = i / p.width + 0.5 - 16;
        radius[i] = std::hypot(x, y);
        wobble[i] = 1 + 0.08 * gradientNoise(x / 3 + 16, y / 3 + 16, 11, 211);
    }
    auto alphaOf = [&](int i, double power) {
        double t = std::max(0.0, 1 - radius[i] * radius[i] / 144);
        return std::lround(150 * std::pow(t, power) * wobble[i]);
    };
    // The smallest power that still leaves exactly VISIBLE pixels with a non-zero alpha.
    double power = 0;
    for (int step = 0; step < 40000 && power == 0; ++step) {
        double candidate = 2 + step * 0.0002;
        int visible = 0;
        for (int i = 0; i < count; ++i) {
            visible += alphaOf(i, candidate) > 0;
        }
        if (visible == VISIBLE) {
            power = candidate;
        }
    }
    if (power == 0) {
        std::fprintf(stderr, "make_textures: no falloff leaves %d visible ball pixels\n", VISIBLE);
        std::exit(1);
    }
    for (int i = 0; i < count; ++i) {
        double t = std::max(0.0, 1 - radius[i] / 12);
        double white = t * t;
        setPixel(p, i, 253 + 2 * white, 254 + 1 * white, 188.5 + 64 * white, double(alphaOf(i, power)));
    }
    return p;
}

bool samePixel(const Picture& p, int a, int b)
{
    int step = p.bitsPerPixel / 8;
    return std::equal(&p.bgra[size_t(a) * step], &p.bgra[size_t(a + 1) * step], &p.bgra[size_t(b) * step]);
}

// Greedy run-length packing: runs of two or more equal pixels become run packets, the rest
// raw packets; packets run on across rows and end exactly at the last pixel.
std::vector<Packet> packPixels(const Picture& p)
{
    int total = p.width * p.height;
    std::vector<Packet> packets;
    int i = 0;
    while (i < total) {
        int run = 1;
        while (i + run < total && run < 128 && samePixel(p, i, i + run)) {
            ++run;
        }
        if (run >= 2) {
            packets.push_back({true, i, run});
            i += run;
            continue;
        }
        int first = i;
        int n = 0;
        while (i < total && n < 128 && !(i + 1 < total && samePixel(p, i, i + 1))) {
            ++i;
            ++n;
        }
        packets.push_back({false, first, n});
    }
    return packets;
}

long packetBytes(const Picture& p, const std::vector<Packet>& packets)
{
    long step = p.bitsPerPixel / 8;
    long bytes = 0;
    for (const Packet& packet : packets) {
        bytes += 1 + step * (packet.run ? 1 : packet.count);
    }
    return bytes;
}

// Splits packets until they take exactly `bytes` bytes: the longest run packet while at
// least one of its pixels' worth is missing, then the longest raw packet a byte at a time.
bool padPackets(const Picture& p, std::vector<Packet>& packets, long bytes)
{
    long step = p.bitsPerPixel / 8;
    for (;;) {
        long missing = bytes - packetBytes(p, packets);
        if (missing == 0) {
            return true;
        }
        if (missing < 0) {
            return false;
        }
        auto longest = [&](bool run) {
            auto best = packets.end();
            for (auto it = packets.begin(); it != packets.end(); ++it) {
                if (it->run == run && it->count >= 2 && (best == packets.end() || it->count > best->count)) {
                    best = it;
                }
            }
            return best;
        };
        auto it = missing >= 1 + step ? longest(true) : packets.end();
        if (it == packets.end()) {
            it = longest(false);
        }
        if (it == packets.end()) {
            return false;
        }
        int half = it->count / 2;
        Packet rest{it->run, it->first + half, it->count - half};
        it->count = half;
        packets.insert(it + 1, rest);
    }
}

bool writeTga(const std::string& path, const Picture& p, long fileSize)
{
    constexpr long HEADER = 18;
    constexpr long FOOTER = 26;
    std::vector<Packet> packets = packPixels(p);
    long natural = packetBytes(p, packets);
    if (!padPackets(p, packets, fileSize - HEADER - FOOTER)) {
        std::fprintf(stderr, "make_textures: %s packs into %ld bytes, cannot make %ld\n", path.c_str(),
                     natural + HEADER + FOOTER, fileSize);
        return false;
    }
    std::vector<uint8_t> out = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                uint8_t(p.width), uint8_t(p.width >> 8), uint8_t(p.height),
                                uint8_t(p.height >> 8), uint8_t(p.bitsPerPixel), uint8_t(p.descriptor)};
    int step = p.bitsPerPixel / 8;
    for (const Packet& packet : packets) {
        out.push_back(uint8_t((packet.run ? 0x80 : 0) | (packet.count - 1)));
        int stored = packet.run ? 1 : packet.count;
        const uint8_t* first = &p.bgra[size_t(packet.first) * step];
        out.insert(out.end(), first, first + stored * step);
    }
    // TGA 2.0 footer: no extension area, no developer directory, then the signature.
    out.insert(out.end(), 8, 0);
    const char signature[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), signature, signature + sizeof signature);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    written = std::fclose(file) == 0 && written;
    std::printf("%s: %zu bytes in %zu packets (%ld bytes packed as tightly as possible)\n", path.c_str(),
                out.size(), packets.size(), natural + HEADER + FOOTER);
    return written;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_textures <resources folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    bool ok = writeTga(folder + "/reddish.tga", makeReddish(), 12391);
    ok = writeTga(folder + "/ball.tga", makeBall(), 2179) && ok;
    ok = writeTga(folder + "/tunnel.tga", makeTunnel(), 16350) && ok;
    return ok ? 0 : 1;
}
