// Checks the committed splash pictures and launcher icon in ASSETS_DIR:
// exact file layout, header fields, and the drawing itself (ground, disc,
// lettering bands, gaps between bands, relative widths of the lines).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#ifndef ASSETS_DIR
#error "ASSETS_DIR must name the folder holding the committed assets"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& name) {
  std::ifstream f(std::string(ASSETS_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::uint32_t u16(const Bytes& b, std::size_t at) { return std::uint32_t(b.at(at)) | std::uint32_t(b.at(at + 1)) << 8; }

std::uint32_t u32(const Bytes& b, std::size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

std::int32_t s32(const Bytes& b, std::size_t at) { return std::int32_t(u32(b, at)); }

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

void PrintTo(const Rgb& c, std::ostream* os) { *os << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")"; }

// Pixel access for bottom-up 24-bit rows without padding; (x, y) counted
// from the top-left corner.
struct Picture {
  const Bytes& bytes;
  std::size_t pixelOffset;
  int size;

  Rgb at(int x, int y) const {
    const std::size_t p = pixelOffset + std::size_t((size - 1 - y) * size * 3 + x * 3);
    return {bytes.at(p + 2), bytes.at(p + 1), bytes.at(p)};
  }
};

constexpr Rgb kTurquoise{0x3C, 0xFF, 0xEC};
constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kPaleYellow{0xF8, 0xFF, 0x78};
constexpr Rgb kViolet{0xC6, 0x75, 0xEC};

struct Band {
  int first, last;  // inclusive rows, from the top
};
constexpr Band kBands[3] = {{22, 38}, {41, 55}, {59, 78}};
// Rows between the lettering bands, and columns of the disc's middle part
// that are inside the disc on all of those rows.
constexpr int kGapRows[] = {39, 40, 56, 57, 58};
constexpr int kMiddleFirstColumn = 10;
constexpr int kMiddleLastColumn = 89;

bool nearRed(Rgb c) { return c.r >= 200 && c.g <= 60 && c.b <= 60; }
bool nearBlue(Rgb c) { return c.b >= 200 && c.r <= 60 && c.g <= 60; }
bool nearWhite(Rgb c) { return c.r >= 230 && c.g >= 230 && c.b >= 230; }

bool wellInsideDisc(int x, int y) {
  const double dx = x + 0.5 - 49.5;
  const double dy = y + 0.5 - 49.5;
  return dx * dx + dy * dy < 45.0 * 45.0;
}

struct PictureCase {
  const char* file;
  Rgb ground;
  Rgb disc;
  bool (*lettering[3])(Rgb);
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.file; }

const PictureCase kPictures[] = {
    {"corner.bmp", kTurquoise, kWhite, {nearRed, nearBlue, nearRed}},
    {"centre.bmp", kPaleYellow, kViolet, {nearWhite, nearWhite, nearWhite}},
};

class PictureTest : public ::testing::TestWithParam<PictureCase> {
 protected:
  void SetUp() override { bytes = readFile(GetParam().file); }
  Picture picture() const { return {bytes, 54, 100}; }
  Bytes bytes;
};

TEST_P(PictureTest, HasExactBitmapLayout) {
  ASSERT_EQ(bytes.size(), 30054u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  EXPECT_EQ(u32(bytes, 2), 30054u);   // file size
  EXPECT_EQ(u32(bytes, 6), 0u);       // reserved
  EXPECT_EQ(u32(bytes, 10), 54u);     // pixel offset
  EXPECT_EQ(u32(bytes, 14), 40u);     // info header size
  EXPECT_EQ(s32(bytes, 18), 100);     // width
  EXPECT_EQ(s32(bytes, 22), 100);     // height, positive: bottom-up
  EXPECT_EQ(u16(bytes, 26), 1u);      // planes
  EXPECT_EQ(u16(bytes, 28), 24u);     // bits per pixel
  EXPECT_EQ(u32(bytes, 30), 0u);      // BI_RGB
  EXPECT_EQ(u32(bytes, 34), 30000u);  // image size
  EXPECT_EQ(s32(bytes, 38), 2835);    // x pixels per metre
  EXPECT_EQ(s32(bytes, 42), 2835);    // y pixels per metre
  EXPECT_EQ(u32(bytes, 46), 0u);      // colours used
  EXPECT_EQ(u32(bytes, 50), 0u);      // important colours
}

TEST_P(PictureTest, GroundAtCornersAndDiscAwayFromLettering) {
  ASSERT_EQ(bytes.size(), 30054u);
  const Picture pic = picture();
  const PictureCase& c = GetParam();
  for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 99}, {99, 99}, {1, 49}, {97, 49}}) {
    EXPECT_EQ(pic.at(x, y), c.ground) << "at (" << x << ", " << y << ")";
  }
  for (auto [x, y] : {std::pair{50, 10}, {50, 90}, {49, 3}, {49, 95}, {3, 49}, {95, 49}}) {
    EXPECT_EQ(pic.at(x, y), c.disc) << "at (" << x << ", " << y << ")";
  }
}

TEST_P(PictureTest, EachBandHoldsItsLettering) {
  ASSERT_EQ(bytes.size(), 30054u);
  const Picture pic = picture();
  for (int band = 0; band < 3; ++band) {
    int count = 0;
    for (int y = kBands[band].first; y <= kBands[band].last; ++y) {
      for (int x = 0; x < 100; ++x) {
        count += GetParam().lettering[band](pic.at(x, y)) ? 1 : 0;
      }
    }
    EXPECT_GE(count, 20) << "band " << band + 1;
  }
  // Where the lines have different colours, no band shows another line's colour.
  for (int band = 0; band < 3; ++band) {
    for (int other = 0; other < 3; ++other) {
      const auto isOther = GetParam().lettering[other];
      if (isOther == GetParam().lettering[band]) {
        continue;
      }
      for (int y = kBands[band].first; y <= kBands[band].last; ++y) {
        for (int x = 0; x < 100; ++x) {
          EXPECT_FALSE(isOther(pic.at(x, y))) << "colour of line " << other + 1 << " at (" << x << ", " << y << ")";
        }
      }
    }
  }
}

TEST_P(PictureTest, NoLetteringBetweenBandsOrAboveAndBelow) {
  ASSERT_EQ(bytes.size(), 30054u);
  const Picture pic = picture();
  for (int y : kGapRows) {
    for (int x = kMiddleFirstColumn; x <= kMiddleLastColumn; ++x) {
      EXPECT_EQ(pic.at(x, y), GetParam().disc) << "at (" << x << ", " << y << ")";
    }
  }
  for (int y = 0; y < 100; ++y) {
    if (y >= kBands[0].first && y <= kBands[2].last) {
      continue;
    }
    for (int x = 0; x < 100; ++x) {
      if (wellInsideDisc(x, y)) {
        EXPECT_EQ(pic.at(x, y), GetParam().disc) << "at (" << x << ", " << y << ")";
      }
    }
  }
}

// Horizontal extent of the pixels in a band that differ from the disc colour,
// looking only well inside the disc so the blended rim is not counted.
int inkWidth(const Picture& pic, Band band, Rgb disc) {
  int left = 100;
  int right = -1;
  for (int y = band.first; y <= band.last; ++y) {
    for (int x = 0; x < 100; ++x) {
      if (wellInsideDisc(x, y) && !(pic.at(x, y) == disc)) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  return right < 0 ? 0 : right - left + 1;
}

TEST_P(PictureTest, MiddleLineIsTheWidest) {
  ASSERT_EQ(bytes.size(), 30054u);
  const Picture pic = picture();
  const int first = inkWidth(pic, kBands[0], GetParam().disc);
  const int middle = inkWidth(pic, kBands[1], GetParam().disc);
  const int last = inkWidth(pic, kBands[2], GetParam().disc);
  EXPECT_GT(first, 30);
  EXPECT_GT(last, 30);
  EXPECT_GT(middle, first);
  EXPECT_GT(middle, last);
}

INSTANTIATE_TEST_SUITE_P(Assets, PictureTest, ::testing::ValuesIn(kPictures),
                         [](const auto& info) { return std::string(info.param.file).substr(0, 6); });

TEST(LauncherIcon, HasExactIconLayout) {
  const Bytes b = readFile("launcher.ico");
  ASSERT_EQ(b.size(), 3262u);
  // ICONDIR
  EXPECT_EQ(u16(b, 0), 0u);
  EXPECT_EQ(u16(b, 2), 1u);
  EXPECT_EQ(u16(b, 4), 1u);
  // ICONDIRENTRY
  EXPECT_EQ(b[6], 32);
  EXPECT_EQ(b[7], 32);
  EXPECT_EQ(b[8], 0);
  EXPECT_EQ(b[9], 0);
  EXPECT_EQ(u16(b, 10), 1u);
  EXPECT_EQ(u16(b, 12), 24u);
  EXPECT_EQ(u32(b, 14), 3240u);
  EXPECT_EQ(u32(b, 18), 22u);
  // BITMAPINFOHEADER of the image
  EXPECT_EQ(u32(b, 22), 40u);
  EXPECT_EQ(s32(b, 26), 32);
  EXPECT_EQ(s32(b, 30), 64);  // colour rows plus mask rows
  EXPECT_EQ(u16(b, 34), 1u);
  EXPECT_EQ(u16(b, 36), 24u);
  EXPECT_EQ(u32(b, 38), 0u);
  EXPECT_EQ(u32(b, 42), 3200u);
  EXPECT_EQ(s32(b, 46), 0);
  EXPECT_EQ(s32(b, 50), 0);
  EXPECT_EQ(u32(b, 54), 0u);
  EXPECT_EQ(u32(b, 58), 0u);
}

TEST(LauncherIcon, MaskIsClearAndPictureIsTheCornerOne) {
  const Bytes b = readFile("launcher.ico");
  ASSERT_EQ(b.size(), 3262u);
  constexpr std::size_t kColourOffset = 22 + 40;
  constexpr std::size_t kMaskOffset = kColourOffset + 3072;
  EXPECT_TRUE(std::all_of(b.begin() + kMaskOffset, b.end(), [](std::uint8_t v) { return v == 0; }));

  const Picture pic{b, kColourOffset, 32};
  auto turquoiseIsh = [](Rgb c) {
    return std::abs(c.r - kTurquoise.r) <= 8 && std::abs(c.g - kTurquoise.g) <= 8 && std::abs(c.b - kTurquoise.b) <= 8;
  };
  for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}}) {
    EXPECT_TRUE(turquoiseIsh(pic.at(x, y))) << "at (" << x << ", " << y << ")";
  }
  // The middle holds the disc and its lettering: no ground colour there, and
  // both the red and the blue lettering show through the reduction.
  int reddish = 0;
  int bluish = 0;
  for (int y = 8; y < 24; ++y) {
    for (int x = 8; x < 24; ++x) {
      const Rgb c = pic.at(x, y);
      EXPECT_FALSE(turquoiseIsh(c)) << "at (" << x << ", " << y << ")";
      reddish += (c.r - c.g > 80 && c.r - c.b > 80) ? 1 : 0;
      bluish += (c.b - c.r > 80 && c.b - c.g > 80) ? 1 : 0;
    }
  }
  EXPECT_GT(reddish, 0);
  EXPECT_GT(bluish, 0);
}

}  // namespace
