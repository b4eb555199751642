// make_assets: draws the launcher's two splash pictures and its icon.
//
//   make_assets OUTDIR
//
// writes OUTDIR/corner.bmp, OUTDIR/centre.bmp (100 x 100, 24-bit Windows
// bitmaps) and OUTDIR/launcher.ico (one 32 x 32, 24-bit image).
//
// Qt is used only to shape and rasterise the lettering and to scale the icon;
// the file bytes are written here so that the header layout is exactly the one
// the launcher expects, independent of what QImage::save would choose.
//
// The disc is rasterised by hand with an exact inside/outside test so that
// pixels wholly inside it are the pure disc colour and pixels wholly outside
// are the pure ground colour; only the rim pixels are blended.
//
// Each lettering line is turned into an outline, then scaled and placed so
// that its ink box lies inside its band of rows and inside the disc. The
// rendered result is checked against those constraints before anything is
// written, so a font or rasteriser change that breaks the layout makes the
// tool fail rather than produce a bad picture.

#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kPictureSize = 100;
constexpr int kIconSize = 32;

// Disc covering pixels 2..96 on both axes: continuous extent [2, 97).
constexpr double kDiscLeft = 2.0;
constexpr double kDiscDiameter = 95.0;
constexpr double kDiscRadius = kDiscDiameter / 2.0;
constexpr double kDiscCentre = kDiscLeft + kDiscRadius;  // 49.5

// The ink box is kept this far (in pixels) inside its band so that
// anti-aliasing never touches a row outside the band.
constexpr double kBandInset = 0.25;
// The ink box corners are kept this far inside the disc rim so the lettering
// never reaches the blended rim pixels.
constexpr double kRimClearance = 2.5;
// A line may be narrowed horizontally to fit the disc, but not below this
// fraction of its natural proportions; beyond that it is shrunk as a whole.
constexpr double kMinAspect = 0.85;
// Outlines are generated at this pixel size and scaled down afterwards.
constexpr int kOutlinePixelSize = 200;

struct Rgb {
  std::uint8_t r, g, b;
};

constexpr Rgb kTurquoise{0x3C, 0xFF, 0xEC};
constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};
constexpr Rgb kRed{0xFF, 0x00, 0x00};
constexpr Rgb kBlue{0x00, 0x00, 0xFF};
constexpr Rgb kPaleYellow{0xF8, 0xFF, 0x78};
constexpr Rgb kViolet{0xC6, 0x75, 0xEC};

struct Band {
  int firstRow;  // inclusive, counted from the top
  int lastRow;   // inclusive
};

struct Line {
  QString text;
  Band band;
};

struct PlacedLine {
  QPainterPath path;  // in picture coordinates
  Band band;
  double emPixels;  // resulting font size in pixels (vertical)
  double squeeze;   // horizontal / vertical scale ratio
};

struct Palette {
  Rgb ground;
  Rgb disc;
  std::array<Rgb, 3> lettering;
};

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "make_assets: %s\n", message.c_str());
  std::exit(1);
}

std::array<Line, 3> titleLines() {
  return {{
      {QStringLiteral("Cartes"), {22, 38}},
      {QStringLiteral("de contr\u00f4le"), {41, 55}},
      {QStringLiteral("S.P.C."), {59, 78}},
  }};
}

QFont titleFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setBold(true);
  font.setPixelSize(kOutlinePixelSize);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::NoFontMerging);
  const QFontInfo info(font);
  if (info.family() != QStringLiteral("DejaVu Sans") || !info.bold()) {
    fail("font \"DejaVu Sans\" bold is not available (got \"" + info.family().toStdString() + "\")");
  }
  return font;
}

// Half of the widest horizontal span a box occupying rows [top, bottom] may
// have while all four corners stay at least kRimClearance inside the disc.
double maxHalfWidth(double top, double bottom) {
  const double dy = std::max(std::abs(top - kDiscCentre), std::abs(bottom - kDiscCentre));
  const double r = kDiscRadius - kRimClearance;
  return std::sqrt(r * r - dy * dy);
}

PlacedLine placeLine(const QFont& font, const Line& line) {
  QPainterPath outline;
  outline.addText(0.0, 0.0, font, line.text);
  const QRectF ink = outline.boundingRect();

  const double top = line.band.firstRow + kBandInset;
  const double bottom = line.band.lastRow + 1 - kBandInset;
  const double maxWidth = 2.0 * maxHalfWidth(top, bottom);

  double sy = (bottom - top) / ink.height();
  double sx = sy;
  if (ink.width() * sx > maxWidth) {
    sx = maxWidth / ink.width();
    sy = std::min(sy, sx / kMinAspect);
  }

  const double bandMiddle = (top + bottom) / 2.0;
  QTransform t;
  t.translate(kDiscCentre, bandMiddle);
  t.scale(sx, sy);
  t.translate(-ink.center().x(), -ink.center().y());
  return {t.map(outline), line.band, kOutlinePixelSize * sy, sx / sy};
}

bool pixelWhollyInsideDisc(int x, int y) {
  // The farthest corner of the pixel square from the disc centre.
  const double dx = std::max(std::abs(x - kDiscCentre), std::abs(x + 1 - kDiscCentre));
  const double dy = std::max(std::abs(y - kDiscCentre), std::abs(y + 1 - kDiscCentre));
  return dx * dx + dy * dy <= kDiscRadius * kDiscRadius;
}

bool pixelWhollyOutsideDisc(int x, int y) {
  // The nearest point of the pixel square to the disc centre.
  const double nx = std::clamp(kDiscCentre, double(x), double(x + 1)) - kDiscCentre;
  const double ny = std::clamp(kDiscCentre, double(y), double(y + 1)) - kDiscCentre;
  return nx * nx + ny * ny >= kDiscRadius * kDiscRadius;
}

// Fraction of the pixel covered by the disc, estimated on a regular grid of
// sample points (used only for rim pixels).
double discCoverage(int x, int y) {
  constexpr int kSamples = 16;
  int inside = 0;
  for (int j = 0; j < kSamples; ++j) {
    for (int i = 0; i < kSamples; ++i) {
      const double px = x + (i + 0.5) / kSamples - kDiscCentre;
      const double py = y + (j + 0.5) / kSamples - kDiscCentre;
      if (px * px + py * py < kDiscRadius * kDiscRadius) {
        ++inside;
      }
    }
  }
  return double(inside) / (kSamples * kSamples);
}

std::uint8_t mix(std::uint8_t a, std::uint8_t b, double t) { return std::uint8_t(std::lround(a + (b - a) * t)); }

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QImage coverageMask(const QPainterPath& path) {
  QImage mask(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.fillPath(path, Qt::black);
  p.end();
  return mask;
}

// Checks that a placed line only touches rows of its band and only pixels
// wholly inside the disc, and that its ink fills most of the band's height.
void checkPlacement(const PlacedLine& line, const QString& text) {
  const QImage mask = coverageMask(line.path);
  int firstInk = kPictureSize;
  int lastInk = -1;
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      if (qAlpha(mask.pixel(x, y)) == 0) {
        continue;
      }
      if (y < line.band.firstRow || y > line.band.lastRow) {
        fail("\"" + text.toStdString() + "\" touches row " + std::to_string(y) + " outside its band");
      }
      if (!pixelWhollyInsideDisc(x, y)) {
        fail("\"" + text.toStdString() + "\" touches pixel (" + std::to_string(x) + ", " + std::to_string(y) +
             ") at the disc rim");
      }
      firstInk = std::min(firstInk, y);
      lastInk = std::max(lastInk, y);
    }
  }
  const int bandRows = line.band.lastRow - line.band.firstRow + 1;
  if (lastInk < 0 || (lastInk - firstInk + 1) * 5 < bandRows * 4) {
    fail("\"" + text.toStdString() + "\" fills less than four fifths of its band");
  }
}

QImage drawPicture(const std::array<PlacedLine, 3>& lines, const Palette& palette) {
  QImage image(kPictureSize, kPictureSize, QImage::Format_RGB32);
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      Rgb c = palette.ground;
      if (pixelWhollyInsideDisc(x, y)) {
        c = palette.disc;
      } else if (!pixelWhollyOutsideDisc(x, y)) {
        const double t = discCoverage(x, y);
        c = {mix(palette.ground.r, palette.disc.r, t), mix(palette.ground.g, palette.disc.g, t),
             mix(palette.ground.b, palette.disc.b, t)};
      }
      image.setPixel(x, y, qRgb(c.r, c.g, c.b));
    }
  }

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    p.fillPath(lines[i].path, toQColor(palette.lettering[i]));
  }
  p.end();
  return image;
}

// Final check on a drawn picture: ground where the disc is absent, pure disc
// colour inside the disc except where lettering was drawn.
void checkPicture(const QImage& image, const std::array<PlacedLine, 3>& lines, const Palette& palette,
                  const char* name) {
  std::vector<QImage> masks;
  for (const PlacedLine& line : lines) {
    masks.push_back(coverageMask(line.path));
  }
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      const QRgb px = image.pixel(x, y);
      const Rgb c{std::uint8_t(qRed(px)), std::uint8_t(qGreen(px)), std::uint8_t(qBlue(px))};
      const bool inked =
          std::any_of(masks.begin(), masks.end(), [&](const QImage& m) { return qAlpha(m.pixel(x, y)) != 0; });
      auto same = [&](Rgb e) { return c.r == e.r && c.g == e.g && c.b == e.b; };
      if (pixelWhollyOutsideDisc(x, y) && !same(palette.ground)) {
        fail(std::string(name) + ": ground colour expected outside the disc");
      }
      if (pixelWhollyInsideDisc(x, y) && !inked && !same(palette.disc)) {
        fail(std::string(name) + ": disc colour expected away from the lettering");
      }
    }
  }
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v & 0xFF));
  out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(std::uint8_t((v >> shift) & 0xFF));
  }
}

void putInfoHeader(std::vector<std::uint8_t>& out, std::int32_t width, std::int32_t height, std::uint32_t imageSize,
                   std::int32_t pixelsPerMetre) {
  put32(out, 40);  // header size
  put32(out, std::uint32_t(width));
  put32(out, std::uint32_t(height));
  put16(out, 1);   // planes
  put16(out, 24);  // bits per pixel
  put32(out, 0);   // BI_RGB
  put32(out, imageSize);
  put32(out, std::uint32_t(pixelsPerMetre));
  put32(out, std::uint32_t(pixelsPerMetre));
  put32(out, 0);  // colours used
  put32(out, 0);  // important colours
}

// Bottom-up rows of B,G,R. Both sizes used here give rows that are already a
// multiple of four bytes, so no padding is needed.
void putPixels(std::vector<std::uint8_t>& out, const QImage& image) {
  static_assert((kPictureSize * 3) % 4 == 0 && (kIconSize * 3) % 4 == 0);
  for (int y = image.height() - 1; y >= 0; --y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb px = image.pixel(x, y);
      out.push_back(std::uint8_t(qBlue(px)));
      out.push_back(std::uint8_t(qGreen(px)));
      out.push_back(std::uint8_t(qRed(px)));
    }
  }
}

std::vector<std::uint8_t> encodeBitmap(const QImage& image) {
  constexpr std::uint32_t kPixelBytes = kPictureSize * kPictureSize * 3;  // 30000
  constexpr std::uint32_t kOffset = 14 + 40;
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put32(out, kOffset + kPixelBytes);  // 30054
  put16(out, 0);
  put16(out, 0);
  put32(out, kOffset);
  putInfoHeader(out, kPictureSize, kPictureSize, kPixelBytes, 2835);
  putPixels(out, image);
  if (out.size() != kOffset + kPixelBytes) {
    fail("bitmap encoder produced " + std::to_string(out.size()) + " bytes");
  }
  return out;
}

std::vector<std::uint8_t> encodeIcon(const QImage& image) {
  constexpr std::uint32_t kColourBytes = kIconSize * kIconSize * 3;      // 3072
  constexpr std::uint32_t kMaskBytes = kIconSize * 4;                    // 1 bit per pixel, 4-byte rows
  constexpr std::uint32_t kImageBytes = 40 + kColourBytes + kMaskBytes;  // 3240
  constexpr std::uint32_t kImageOffset = 6 + 16;
  std::vector<std::uint8_t> out;
  // ICONDIR
  put16(out, 0);  // reserved
  put16(out, 1);  // icon
  put16(out, 1);  // one image
  // ICONDIRENTRY
  out.push_back(kIconSize);
  out.push_back(kIconSize);
  out.push_back(0);  // colour count: not palettised
  out.push_back(0);  // reserved
  put16(out, 1);     // planes
  put16(out, 24);    // bits per pixel
  put32(out, kImageBytes);
  put32(out, kImageOffset);
  // Image: height counts the colour rows and the mask rows.
  putInfoHeader(out, kIconSize, 2 * kIconSize, kColourBytes + kMaskBytes, 0);
  putPixels(out, image);
  out.insert(out.end(), kMaskBytes, 0);  // AND mask clear: fully opaque
  if (out.size() != kImageOffset + kImageBytes) {
    fail("icon encoder produced " + std::to_string(out.size()) + " bytes");
  }
  return out;
}

void writeFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path.toStdString(), std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  f.close();
  if (!f) {
    fail("cannot write " + path.toStdString());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_assets OUTDIR\n");
    return 2;
  }
  // Nothing is shown on screen; default to the offscreen platform so the
  // tool also runs on machines without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);

  const QString outDir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(outDir)) {
    fail("cannot create " + outDir.toStdString());
  }

  const QFont font = titleFont();
  const std::array<Line, 3> title = titleLines();
  std::array<PlacedLine, 3> placed;
  for (std::size_t i = 0; i < title.size(); ++i) {
    placed[i] = placeLine(font, title[i]);
    checkPlacement(placed[i], title[i].text);
  }
  // The middle line is set in smaller letters but is the widest of the three.
  const double middleWidth = placed[1].path.boundingRect().width();
  if (placed[1].emPixels >= std::min(placed[0].emPixels, placed[2].emPixels) ||
      middleWidth <= placed[0].path.boundingRect().width() || middleWidth <= placed[2].path.boundingRect().width()) {
    fail("the middle line must be smaller and wider than the other two");
  }

  const Palette cornerPalette{kTurquoise, kWhite, {kRed, kBlue, kRed}};
  const Palette centrePalette{kPaleYellow, kViolet, {kWhite, kWhite, kWhite}};

  const QImage corner = drawPicture(placed, cornerPalette);
  checkPicture(corner, placed, cornerPalette, "corner.bmp");
  const QImage centre = drawPicture(placed, centrePalette);
  checkPicture(centre, placed, centrePalette, "centre.bmp");
  const QImage icon = corner.scaled(kIconSize, kIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_RGB32);

  const QDir dir(outDir);
  writeFile(dir.filePath(QStringLiteral("corner.bmp")), encodeBitmap(corner));
  writeFile(dir.filePath(QStringLiteral("centre.bmp")), encodeBitmap(centre));
  writeFile(dir.filePath(QStringLiteral("launcher.ico")), encodeIcon(icon));

  for (std::size_t i = 0; i < placed.size(); ++i) {
    const QRectF box = placed[i].path.boundingRect();
    std::printf("line %zu \"%s\": %.1f px, horizontal scale %.2f, ink x %.2f..%.2f y %.2f..%.2f\n", i + 1,
                title[i].text.toUtf8().constData(), placed[i].emPixels, placed[i].squeeze, box.left(), box.right(),
                box.top(), box.bottom());
  }
  return 0;
}
