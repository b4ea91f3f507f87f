// The embedded resources: lookup by name and type, and the three pictures checked, by walking
// their packets independently of the decoder, against what each is known to be: its byte size,
// kind, dimensions and depth, its mean colour and the range of its channels (ROWS below).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "assets/resources.h"
#include "assets/texture_resource.h"
#include "assets/tga.h"
#include "tests/fakes/gl_recorder.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes fileInResources(const char* name)
{
    std::filesystem::path path = std::filesystem::path(__FILE__).parent_path().parent_path() / "resources" / name;
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct PictureRow {
    const char* name;
    const char* file;
    uint32_t bytes;
    int width;
    int height;
    int depth;
    int descriptor;
    double meanR, meanG, meanB;
    int redLow, redHigh;  // range of red
    int otherBelow;       // green and blue stay below
    bool opaque;
};

const PictureRow ROWS[] = {
    {"REDDISH", "reddish.tga", 12391, 64, 64, 24, 0, 172, 6, 6, 95, 245, 60, true},
    {"BALL", "ball.tga", 2179, 32, 32, 32, 8, 253, 254, 193, 0, 255, 256, false},
    {"TUNNEL", "tunnel.tga", 16350, 64, 64, 32, 8, 96, 16, 17, 0, 255, 256, true},
};

// The pictures' pixels as B,G,R(,A) and the offset just past the packet that completes them
// (0 when a packet overruns the picture or the bytes end first).
struct Walked {
    std::vector<Bytes> pixels;
    size_t end = 0;
};

Walked walkPackets(const unsigned char* data, size_t size, int width, int height, int step)
{
    Walked w;
    size_t at = 18;
    size_t total = size_t(width) * size_t(height);
    while (w.pixels.size() < total && at < size) {
        unsigned char header = data[at++];
        size_t count = (header & 0x7F) + 1;
        if (w.pixels.size() + count > total) {
            return {};
        }
        for (size_t i = 0; i < count; ++i) {
            if (at + step > size) {
                return {};
            }
            w.pixels.emplace_back(data + at, data + at + step);
            if (!(header & 0x80) || i + 1 == count) {
                at += step;
            }
        }
    }
    w.end = w.pixels.size() == total ? at : 0;
    return w;
}

double channelMean(const std::vector<Bytes>& pixels, int channel)
{
    double sum = 0;
    for (const Bytes& p : pixels) {
        sum += p[channel];
    }
    return sum / double(pixels.size());
}

ResourceBlob* blobOf(const char* name) { return findResourceBlob(name, "TEXTURE"); }

TEST(Resources, BallBlobHoldsTheEmbeddedFileFromPositionZero)
{
    ResourceBlob* blob = blobOf("BALL");
    ASSERT_NE(blob, nullptr);
    Bytes file = fileInResources("ball.tga");
    ASSERT_EQ(blob->size, file.size());
    EXPECT_EQ(blob->size, 2179u);
    EXPECT_EQ(blob->position, 0);
    EXPECT_EQ(std::memcmp(blob->data, file.data(), file.size()), 0);
    std::free(blob);
}

// The demo takes its resources without a record left to free (a leak would show under
// LeakSanitizer), and names on stderr any it does not find, whatever kind it is.
TEST(Resources, UnknownNameOrWrongTypeGivesNullAndTheDemoNamesItOnStderr)
{
    EXPECT_EQ(findResourceBlob("PLASMA", "TEXTURE"), nullptr);
    EXPECT_EQ(findResourceBlob("BALL", "MODMUSIC"), nullptr);
    EXPECT_EQ(findResourceBlob("ball", "TEXTURE"), nullptr);

    ResourceBlob blob;
    ASSERT_TRUE(takeResource("BALL", "TEXTURE", &blob));
    EXPECT_EQ(blob.size, 2179u);
    EXPECT_EQ(std::memcmp(blob.data, fileInResources("ball.tga").data(), blob.size), 0);
    glRecorderReset();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(takeResource("SANSBOLD", "TEXTURE", &blob));
    EXPECT_EQ(blob.data, nullptr);
    EXPECT_EQ(loadTextureResource("PLASMA"), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "yarvik: the program holds no resource \"SANSBOLD\" of type \"TEXTURE\"\n"
              "yarvik: the program holds no resource \"PLASMA\" of type \"TEXTURE\"\n");
    EXPECT_TRUE(glrec.calls.empty()) << "no texture for a missing picture";
}

class EmbeddedPicture : public ::testing::TestWithParam<PictureRow> {};

TEST_P(EmbeddedPicture, HasItsKnownSizeShapeAndColoursAndEndsWithTheFooter)
{
    const PictureRow& row = GetParam();
    ResourceBlob* blob = blobOf(row.name);
    ASSERT_NE(blob, nullptr);
    const unsigned char* d = blob->data;
    uint32_t size = blob->size;
    std::free(blob);

    EXPECT_EQ(size, row.bytes);
    EXPECT_EQ(Bytes(d, d + size), fileInResources(row.file));
    const unsigned char rle[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(d, rle, 12), 0);
    EXPECT_EQ(d[12] + 256 * d[13], row.width);
    EXPECT_EQ(d[14] + 256 * d[15], row.height);
    EXPECT_EQ(d[16], row.depth);
    EXPECT_EQ(d[17], row.descriptor);

    Walked walked = walkPackets(d, size, row.width, row.height, row.depth / 8);
    EXPECT_EQ(walked.end, size - 26u) << "the packets must end exactly at the last pixel";
    const unsigned char footer[26] = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                      'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
    EXPECT_EQ(std::memcmp(d + size - 26, footer, 26), 0);
    ASSERT_EQ(walked.pixels.size(), size_t(row.width * row.height));

    EXPECT_NEAR(channelMean(walked.pixels, 2), row.meanR, 1.5);
    EXPECT_NEAR(channelMean(walked.pixels, 1), row.meanG, 1.5);
    EXPECT_NEAR(channelMean(walked.pixels, 0), row.meanB, 1.5);
    int redLow = 255, redHigh = 0, otherHigh = 0, alphaLow = 255;
    for (const Bytes& p : walked.pixels) {
        redLow = std::min<int>(redLow, p[2]);
        redHigh = std::max<int>(redHigh, p[2]);
        otherHigh = std::max<int>(otherHigh, std::max(p[0], p[1]));
        alphaLow = std::min<int>(alphaLow, row.depth == 32 ? p[3] : 255);
    }
    EXPECT_GE(redLow, row.redLow);
    EXPECT_LE(redHigh, row.redHigh);
    EXPECT_LT(otherHigh, row.otherBelow);
    if (row.opaque) {
        EXPECT_EQ(alphaLow, 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Known, EmbeddedPicture, ::testing::ValuesIn(ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<Bytes> pixelsOf(const char* name)
{
    ResourceBlob* blob = blobOf(name);
    const PictureRow* row = nullptr;
    for (const PictureRow& r : ROWS) {
        row = std::strcmp(r.name, name) == 0 ? &r : row;
    }
    std::vector<Bytes> pixels = walkPackets(blob->data, blob->size, row->width, row->height, row->depth / 8).pixels;
    std::free(blob);
    return pixels;
}

TEST(Resources, BallGlowsAbout150InTheMiddleAndVanishesByRadiusTwelve)
{
    std::vector<Bytes> pixels = pixelsOf("BALL");
    int transparent = 0;
    int centre = 0;
    for (int i = 0; i < 1024; ++i) {
        double x = i % 32 + 0.5 - 16;
        double y = i / 32 + 0.5 - 16;
        int alpha = pixels[i][3];
        transparent += alpha == 0;
        centre = std::max(centre, alpha);
        if (x * x + y * y >= 144) {
            EXPECT_EQ(alpha, 0) << "pixel " << i;
        }
    }
    EXPECT_EQ(transparent, 702);
    EXPECT_NEAR(centre, 150, 10);
    int middle = pixels[16 * 32 + 16][3];
    int halfway = pixels[16 * 32 + 22][3];
    EXPECT_GT(middle, halfway);
    EXPECT_GT(halfway, 0);
}

// As the scenes load their pictures: smoothly filtered textures, a new one on every load.
TEST(Resources, EveryLoadOfAnEmbeddedTextureGetsANewNameWithTextureZeroBoundAfter)
{
    glRecorderReset();
    std::vector<GLuint> names;
    for (const char* name : {"REDDISH", "BALL", "TUNNEL", "BALL"}) {
        names.push_back(loadTextureResource(name));
        EXPECT_EQ(glrec.boundTexture, 0u);
        EXPECT_NE(names.back(), 0u) << name;
    }
    EXPECT_EQ(std::set<GLuint>(names.begin(), names.end()).size(), 4u);
    EXPECT_EQ(glrec.textures.at(names[0]).format, GLenum(GL_RGB));
    EXPECT_EQ(glrec.textures.at(names[1]).format, GLenum(GL_RGBA));
    EXPECT_EQ(glrec.textures.at(names[2]).width, 64);
    Bytes stone;
    for (const Bytes& p : pixelsOf("TUNNEL")) {
        stone.insert(stone.end(), {p[2], p[1], p[0], p[3]});
    }
    EXPECT_EQ(glrec.textures.at(names[2]).pixels, stone);
    for (GLuint name : names) {
        EXPECT_EQ(glrec.textures.at(name).minFilter, GL_LINEAR);
        EXPECT_EQ(glrec.textures.at(name).magFilter, GL_LINEAR);
    }
    // The embedded pictures' rows fill whole words: the upload uses the standing alignment.
    EXPECT_TRUE(glCallsNamed("glPixelStorei").empty());
}

}  // namespace
